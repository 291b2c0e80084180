#pragma once

#include "addresses.h"
#include "batch_sender.h"
#include "indexnow.h"
#include "sitemap_loader.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

// Submit Site Map with IndexNow: reads a site map (from the web or a local
// file), shows which of its addresses will be sent and which are dropped,
// excluded or unchanged, checks the key file and sends the addresses in
// batches, explaining every answer. A run that stops keeps the addresses not
// received, and Send sends them later. Modeless and without an owner, at
// most one at a time; it deletes itself when closed.
class SitemapDialog : public QDialog
{
    Q_OBJECT
public:
    // Opens the dialog for page (the text of the page address field), or
    // brings the open one to the front. endpoint, when not empty, is where
    // submissions go instead of the endpoint chosen in the dialog (tests
    // point it at a local server); timeoutMs bounds each request.
    static SitemapDialog *Open(QWidget *mainWindow, const QString &page,
                               const QString &endpoint = QString(),
                               int timeoutMs = indexnow::kTimeoutMs);
    static SitemapDialog *Instance();
    ~SitemapDialog() override;

    // "&Browse...": a local site-map file.
    void cmdBrowse_Click();
    // "&Read": reads the site map in the field.
    void cmdRead_Click();
    // "&Send" (or "&Send Rest"): checks the key file, then sends.
    void cmdSend_Click();
    // "&Cancel": stops reading or sending.
    void cmdCancel_Click();
    // The endpoint chosen is stored for every IndexNow submission.
    void cboEndpoint_Change();
    // Sorts the addresses read again, after the exclusions or the
    // changed-only box changed.
    void UpdateSelection();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Busy
    {
        No,
        Reading,
        Checking,
        Sending
    };

    SitemapDialog();
    QString endpointAddress() const;
    QString batchHost() const;
    void setBusy(Busy busy);
    void showSummary();
    void loaded(const indexnow::SitemapLoader::Result &result);
    void keyChecked(const QString &key, bool passed, const QString &why);
    void sent(const indexnow::BatchSender::Outcome &outcome);

    QString page_;
    QString endpointOverride_;
    int timeoutMs_ = indexnow::kTimeoutMs;
    Busy busy_ = Busy::No;

    // What was read and what of it goes out.
    indexnow::SitemapLoader::Result read_;
    indexnow::Selection selection_;
    QDateTime changedSince_;
    quint64 selectRun_ = 0; // counts the sortings started
    bool selecting_ = false;
    QStringList rest_; // what a stopped run did not get received
    QString error_;    // why reading gave nothing
    QString report_;   // what came of the last run

    QPointer<indexnow::SitemapLoader> loader_;
    QPointer<indexnow::BatchSender> sender_;
    quint64 keyCheck_ = 0;
    QString sendKey_;
    QStringList sending_;

    QLineEdit *txtSitemap = nullptr;
    QPushButton *cmdBrowse = nullptr;
    QComboBox *cboEndpoint = nullptr;
    QPlainTextEdit *txtExclude = nullptr;
    QCheckBox *chkChanged = nullptr;
    QPlainTextEdit *txtSummary = nullptr;
    QLabel *lblProgress = nullptr;
    QProgressBar *barProgress = nullptr;
    QPushButton *cmdRead = nullptr;
    QPushButton *cmdSend = nullptr;
    QPushButton *cmdCancel = nullptr;
    QTimer *selectLater_ = nullptr;
};
