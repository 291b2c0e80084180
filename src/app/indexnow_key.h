#pragma once

#include "stored_key.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// The IndexNow key dialog: the key, the file the site must serve and where,
// a Copy button, a button that opens the file's address in the browser pane,
// one that checks that the site serves the file and one that makes a new key. Modeless and without
// an owner, at most one at a time; it deletes itself when closed.
class IndexNowKeyDialog : public QDialog
{
    Q_OBJECT
public:
    using OpenInPane = std::function<void(const QString &address)>;

    // Opens the dialog for page (the text of the page address field), or
    // brings the open one to the front showing page's details. Returns it.
    static IndexNowKeyDialog *Open(QWidget *mainWindow, const QString &page, OpenInPane openInPane);
    static IndexNowKeyDialog *Instance();
    ~IndexNowKeyDialog() override;

    // Reads the key (making one when there is none) and fills the fields.
    void Form_Load();
    // "&Copy Key": the key to the clipboard.
    void cmdCopy_Click();
    // "&View in Pane": the key file's address opened in the browser pane.
    void cmdView_Click();
    // "Check Key &File": fetches the key file's address and shows whether
    // it serves the key as the engines need it.
    void cmdCheck_Click();
    // "&Make New Key...": after the user confirms, a new key replaces the
    // stored one.
    void cmdNewKey_Click();

private:
    IndexNowKeyDialog();

    QString page_;
    OpenInPane openInPane_;
    QLineEdit *txtKey = nullptr;
    QLineEdit *txtFileName = nullptr;
    QLineEdit *txtContent = nullptr;
    QLineEdit *txtAddress = nullptr;
    QLabel *lblProblem = nullptr;
    QPushButton *cmdView = nullptr;
    QPushButton *cmdCheck = nullptr;
    QLabel *lblCheck = nullptr;
    quint64 checking_ = 0; // the key-file request on its way
};
