#include "sitemap_dialog.h"

#include "appicon.h"
#include "bring_forward.h"
#include "endpoints.h"
#include "failure.h"
#include "indexnow.h"
#include "indexnow_key.h"
#include "key_check.h"
#include "msgbox.h"
#include "record.h"
#include "settings_store.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace {

QPointer<SitemapDialog> &OpenDialog()
{
    static QPointer<SitemapDialog> dialog;
    return dialog;
}

const QString kTitle = QStringLiteral("Submit Site Map with IndexNow");

// "1 address", "12,000 addresses"
QString Addresses(qsizetype count)
{
    return QLocale().toString(count) +
           (count == 1 ? QStringLiteral(" address") : QStringLiteral(" addresses"));
}

QString Seconds(int ms)
{
    return QLocale().toString((ms + 999) / 1000) + QStringLiteral(" s");
}

// Where the site map sits on the page's host: "<scheme>://<host>/sitemap.xml",
// or nothing when page is no whole http or https address.
QString SitemapFor(const QString &page)
{
    if (!indexnow::RefusalFor(page).isEmpty())
        return QString();
    const QUrl from(page.trimmed());
    QUrl sitemap;
    sitemap.setScheme(from.scheme());
    sitemap.setHost(from.host());
    sitemap.setPort(from.port());
    sitemap.setPath(QStringLiteral("/sitemap.xml"));
    return sitemap.toString();
}

} // namespace

SitemapDialog *SitemapDialog::Open(QWidget *mainWindow, const QString &page,
                                   const QString &endpoint, int timeoutMs)
{
    QPointer<SitemapDialog> &dialog = OpenDialog();
    const bool fresh = !dialog;
    if (fresh)
        dialog = new SitemapDialog;
    dialog->page_ = page;
    dialog->endpointOverride_ = endpoint;
    dialog->timeoutMs_ = timeoutMs;
    if (fresh) {
        dialog->txtSitemap->setText(SitemapFor(page));
        RunHandler("Form_Load", [&] {
            const QString chosen = indexnow::ChosenEndpointId();
            const QSignalBlocker quiet(dialog->cboEndpoint);
            dialog->cboEndpoint->setCurrentIndex(
                qMax(0, dialog->cboEndpoint->findData(chosen, Qt::UserRole, Qt::MatchFixedString)));
        });
        dialog->showSummary();
        dialog->adjustSize();
        CentreOver(dialog, mainWindow);
    }
    BringForward(dialog);
    return dialog;
}

SitemapDialog *SitemapDialog::Instance()
{
    return OpenDialog();
}

SitemapDialog::SitemapDialog() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("frmSitemap"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kTitle);
    setWindowIcon(AppIcon());

    // Created in the keyboard's order.
    txtSitemap = new QLineEdit(this);
    txtSitemap->setObjectName(QStringLiteral("txtSitemap"));
    txtSitemap->setAccessibleName(QStringLiteral("Site map"));
    txtSitemap->setPlaceholderText(QStringLiteral("https://example.com/sitemap.xml, or a file"));
    txtSitemap->setMinimumWidth(360);

    auto button = [this](const char *name, const QString &caption, const char *handler,
                         void (SitemapDialog::*click)()) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        QString accessible = caption;
        b->setAccessibleName(accessible.remove(QLatin1Char('&')).remove(QStringLiteral("...")));
        connect(b, &QPushButton::clicked, this, [this, handler, click] {
            RunHandler(handler, [this, click] { (this->*click)(); });
        });
        return b;
    };
    cmdBrowse = button("cmdBrowse", QStringLiteral("&Browse..."), "cmdBrowse_Click",
                       &SitemapDialog::cmdBrowse_Click);

    cboEndpoint = new QComboBox(this);
    cboEndpoint->setObjectName(QStringLiteral("cboEndpoint"));
    cboEndpoint->setAccessibleName(QStringLiteral("Endpoint"));
    for (const indexnow::Endpoint &endpoint : indexnow::Endpoints())
        cboEndpoint->addItem(QString::fromUtf8(endpoint.name), QString::fromLatin1(endpoint.id));
    connect(cboEndpoint, &QComboBox::currentIndexChanged, this,
            [this] { RunHandler("cboEndpoint_Change", [this] { cboEndpoint_Change(); }); });

    auto plainText = [this](const char *name, const QString &accessibleName) {
        auto *edit = new QPlainTextEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setAccessibleName(accessibleName);
        edit->setTabChangesFocus(true);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        return edit;
    };
    txtExclude = plainText("txtExclude", QStringLiteral("Exclude"));
    txtExclude->setPlaceholderText(QStringLiteral("*/tag/*"));
    txtExclude->setFixedHeight(txtExclude->fontMetrics().lineSpacing() * 4 +
                               2 * txtExclude->frameWidth() + 8);

    chkChanged = new QCheckBox(
        QStringLiteral("&Only pages changed since the last submission to this host"), this);
    chkChanged->setObjectName(QStringLiteral("chkChanged"));

    txtSummary = plainText("txtSummary", QStringLiteral("What will be sent"));
    txtSummary->setReadOnly(true);
    txtSummary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtSummary->setMinimumSize(520, txtSummary->fontMetrics().lineSpacing() * 12);

    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setTextFormat(Qt::PlainText);
    lblProgress->setWordWrap(true);
    lblProgress->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblProgress->setText(QStringLiteral("Nothing read yet."));
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setAccessibleName(QStringLiteral("Progress"));
    barProgress->setTextVisible(false);
    barProgress->hide();

    cmdRead =
        button("cmdRead", QStringLiteral("&Read"), "cmdRead_Click", &SitemapDialog::cmdRead_Click);
    cmdSend =
        button("cmdSend", QStringLiteral("&Send"), "cmdSend_Click", &SitemapDialog::cmdSend_Click);
    cmdCancel = button("cmdCancel", QStringLiteral("&Cancel"), "cmdCancel_Click",
                       &SitemapDialog::cmdCancel_Click);
    auto *cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAccessibleName(QStringLiteral("Close"));
    cmdClose->setAutoDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);

    // The exclusions are applied once typing pauses: a list of a million
    // addresses is not sorted again at every key.
    selectLater_ = new QTimer(this);
    selectLater_->setSingleShot(true);
    selectLater_->setInterval(250);
    connect(selectLater_, &QTimer::timeout, this,
            [this] { RunHandler("UpdateSelection", [this] { UpdateSelection(); }); });
    connect(txtExclude, &QPlainTextEdit::textChanged, selectLater_, qOverload<>(&QTimer::start));
    connect(chkChanged, &QCheckBox::toggled, this,
            [this] { RunHandler("UpdateSelection", [this] { UpdateSelection(); }); });

    auto *source = new QHBoxLayout;
    source->addWidget(txtSitemap, 1);
    source->addWidget(cmdBrowse);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Site &map:"), source);
    form->addRow(QStringLiteral("&Endpoint:"), cboEndpoint);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdRead);
    buttons->addWidget(cmdSend);
    buttons->addWidget(cmdCancel);
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    auto *excludeLabel =
        new QLabel(QStringLiteral("E&xclude (one pattern a line, * for any run):"), this);
    excludeLabel->setBuddy(txtExclude);
    auto *summaryLabel = new QLabel(QStringLiteral("&What will be sent:"), this);
    summaryLabel->setBuddy(txtSummary);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(excludeLabel);
    layout->addWidget(txtExclude);
    layout->addWidget(chkChanged);
    layout->addWidget(summaryLabel);
    layout->addWidget(txtSummary, 1);
    layout->addWidget(lblProgress);
    layout->addWidget(barProgress);
    layout->addLayout(buttons);

    setBusy(Busy::No);
}

SitemapDialog::~SitemapDialog()
{
    // Nothing that is on its way calls back into a dialog being taken down.
    if (keyCheck_)
        indexnow::SharedHttp().cancel(keyCheck_);
    for (QObject *worker : {static_cast<QObject *>(loader_), static_cast<QObject *>(sender_)}) {
        if (worker) {
            worker->disconnect(this);
            delete worker;
        }
    }
}

void SitemapDialog::closeEvent(QCloseEvent *event)
{
    // Closing unloads the dialog: the next opening loads it afresh.
    if (OpenDialog() == this)
        OpenDialog() = nullptr;
    QDialog::closeEvent(event);
}

QString SitemapDialog::endpointAddress() const
{
    if (!endpointOverride_.isEmpty())
        return endpointOverride_;
    return indexnow::EndpointAddress(cboEndpoint->currentData().toString());
}

QString SitemapDialog::batchHost() const
{
    return read_.site.host();
}

void SitemapDialog::setBusy(Busy busy)
{
    busy_ = busy;
    const bool idle = busy == Busy::No;
    for (QWidget *w : std::initializer_list<QWidget *>{txtSitemap, cmdBrowse, cmdRead})
        w->setEnabled(idle);
    cmdSend->setEnabled(idle && !selecting_ && !(rest_.isEmpty() && selection_.kept.isEmpty()));
    cmdSend->setText(rest_.isEmpty() ? QStringLiteral("&Send") : QStringLiteral("&Send Rest"));
    cmdSend->setAccessibleName(cmdSend->text().remove(QLatin1Char('&')));
    cmdCancel->setEnabled(!idle);
    barProgress->setVisible(!idle);
    if (busy != Busy::Sending)
        barProgress->setRange(0, 0); // going, for as long as it takes
}

void SitemapDialog::cmdBrowse_Click()
{
    const QString file =
        QFileDialog::getOpenFileName(this, QStringLiteral("Site Map File"), QString(),
                                     QStringLiteral("Site maps (*.xml *.gz *.txt);;All files (*)"));
    if (!file.isEmpty())
        txtSitemap->setText(file);
}

void SitemapDialog::cmdRead_Click()
{
    const QString source = txtSitemap->text().trimmed();
    if (source.isEmpty()) {
        msgbox::Show(QStringLiteral("Type the address of the site map, or choose a file with "
                                    "Browse."),
                     msgbox::MB_OK | msgbox::MB_ICONINFORMATION, kTitle);
        return;
    }
    auto *loader = new indexnow::SitemapLoader(indexnow::SharedHttp(), this);
    loader->setTimeout(qMax(timeoutMs_, 60000));
    loader_ = loader;
    read_ = {};
    selection_ = {};
    ++selectRun_; // a sorting on its way is of no use now
    selecting_ = false;
    rest_.clear();
    error_.clear();
    report_.clear();
    connect(loader, &indexnow::SitemapLoader::progress, lblProgress, &QLabel::setText);
    connect(loader, &indexnow::SitemapLoader::finished, this,
            [this](const indexnow::SitemapLoader::Result &result) {
                RunHandler("cmdRead_Click", [&] { loaded(result); });
            });
    lblProgress->setText(QStringLiteral("Reading %1").arg(source));
    setBusy(Busy::Reading);
    showSummary();
    loader->start(source, QUrl(page_.trimmed()));
}

void SitemapDialog::loaded(const indexnow::SitemapLoader::Result &result)
{
    if (loader_)
        loader_->deleteLater();
    read_ = result;
    error_ = result.cancelled ? QStringLiteral("Reading was cancelled: nothing is listed.")
                              : result.error;
    if (error_.isEmpty() && !read_.entries.isEmpty() && read_.site.host().isEmpty())
        error_ = QStringLiteral("A site map read from a file is sent for the host of Page URL: "
                                "type the page address on the Site Information tab first, then "
                                "read the file again.");
    if (!error_.isEmpty())
        read_.entries.clear();
    lblProgress->setText(result.cancelled
                             ? QStringLiteral("Cancelled.")
                             : QStringLiteral("Read %1.").arg(Addresses(result.entries.size())));
    busy_ = Busy::No;
    UpdateSelection();
}

void SitemapDialog::UpdateSelection()
{
    selectLater_->stop();
    rest_.clear();
    changedSince_ = {};
    if (read_.entries.isEmpty()) {
        selection_ = {};
        showSummary();
        setBusy(busy_);
        return;
    }
    if (chkChanged->isChecked())
        changedSince_ = indexnow::Record().LastReceived(batchHost());
    // A million addresses take a while to sort: on a thread of their own, so
    // the window keeps painting. Only the newest sorting is shown; one that
    // ends after the dialog is gone cleans up after itself.
    const quint64 run = ++selectRun_;
    selecting_ = true;
    auto selection = std::make_shared<indexnow::Selection>();
    QThread *thread = QThread::create(
        [selection, entries = read_.entries, site = read_.site,
         patterns = indexnow::PatternLines(txtExclude->toPlainText()),
         since = changedSince_] { *selection = indexnow::Select(entries, site, patterns, since); });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, selection, run] {
        if (run != selectRun_)
            return;
        selecting_ = false;
        selection_ = std::move(*selection);
        showSummary();
        setBusy(busy_);
    });
    showSummary();
    setBusy(busy_);
    thread->start();
}

void SitemapDialog::showSummary()
{
    QStringList lines;
    const QLocale locale;
    if (!error_.isEmpty()) {
        lines << error_;
    } else if (read_.entries.isEmpty()) {
        lines << (busy_ == Busy::Reading
                      ? QStringLiteral("Reading the site map...")
                      : QStringLiteral("Read the site map to see the addresses that will be "
                                       "sent."));
    } else if (selecting_) {
        lines << QStringLiteral("Sorting %1...").arg(Addresses(read_.entries.size()));
    } else {
        const qsizetype kept = selection_.kept.size();
        lines
            << QStringLiteral("%1 read, for %2.").arg(Addresses(read_.entries.size()), batchHost());
        lines << (kept == 1 ? QStringLiteral("1 address will be sent.")
                            : QStringLiteral("%1 will be sent.").arg(Addresses(kept)));
        for (auto it = selection_.dropped.cbegin(); it != selection_.dropped.cend(); ++it) {
            lines << QStringLiteral("%1 dropped, %2:")
                         .arg(locale.toString(it->count), indexnow::DropReasonText(it.key()));
            for (const QString &address : it->first)
                lines << QStringLiteral("    ") + address;
            if (it->count > it->first.size())
                lines << QStringLiteral("    ...");
        }
        lines << QStringLiteral("%1 excluded by the patterns.")
                     .arg(locale.toString(selection_.excluded));
        if (chkChanged->isChecked()) {
            lines << (changedSince_.isValid()
                          ? QStringLiteral("%1 left out as unchanged since the last submission "
                                           "received, %2.")
                                .arg(locale.toString(selection_.unchanged),
                                     locale.toString(changedSince_.toLocalTime(),
                                                     QLocale::ShortFormat))
                          : QStringLiteral("No submission to %1 has been received yet: every "
                                           "page counts as changed.")
                                .arg(batchHost()));
        }
    }
    if (!read_.problems.isEmpty()) {
        lines << QStringLiteral("Left out of the index:");
        for (const QString &problem : read_.problems)
            lines << QStringLiteral("    ") + problem;
    }
    if (!report_.isEmpty())
        lines << QString() << report_;
    txtSummary->setPlainText(lines.join(QLatin1Char('\n')));
}

void SitemapDialog::cboEndpoint_Change()
{
    indexnow::StoreEndpointId(cboEndpoint->currentData().toString());
}

void SitemapDialog::cmdSend_Click()
{
    sending_ = rest_.isEmpty() ? selection_.kept : rest_;
    if (sending_.isEmpty())
        return;
    SettingsStore store;
    const QString key = IndexNowKey(store);
    if (!indexnow::IsValidKey(key)) {
        msgbox::Show(indexnow::BadKeyText(), msgbox::MB_OK | msgbox::MB_ICONINFORMATION, kTitle);
        return;
    }
    const QString keyFile = indexnow::KeyFileAddress(read_.site.toString(), key);
    report_.clear();
    lblProgress->setText(QStringLiteral("Checking the key file at %1").arg(keyFile));
    setBusy(Busy::Checking);
    QPointer<SitemapDialog> self = this;
    keyCheck_ = indexnow::CheckKeyFile(
        indexnow::SharedHttp(), keyFile, key,
        [self, key](const indexnow::KeyFileCheck &check) {
            if (!self)
                return;
            self->keyCheck_ = 0;
            RunHandler("cmdSend_Click", [&] {
                QString why = check.text;
                if (!check.warning.isEmpty())
                    why += QLatin1Char('\n') + check.warning;
                self->keyChecked(key, check.passed(), why);
            });
        },
        timeoutMs_);
}

void SitemapDialog::keyChecked(const QString &key, bool passed, const QString &why)
{
    QPointer<SitemapDialog> self = this;
    if (!passed) {
        const int answer = msgbox::Show(
            why + QStringLiteral("\n\nSend anyway? The engines may take the addresses and check "
                                 "the key file later."),
            msgbox::MB_YESNO, kTitle);
        if (!self)
            return;
        if (answer != msgbox::IDYES) {
            lblProgress->setText(QStringLiteral("Nothing was sent."));
            setBusy(Busy::No);
            return;
        }
    }
    report_ = QStringLiteral("Key file: ") + why;
    const QString keyFile = indexnow::KeyFileAddress(read_.site.toString(), key);
    auto *sender = new indexnow::BatchSender(indexnow::SharedHttp(), this);
    sender->setTimeout(timeoutMs_);
    sender_ = sender;
    const int total = static_cast<int>(indexnow::Batches(sending_).size());
    const QString endpoint = endpointAddress();
    // Each answer once, in the words the single command uses; what to do
    // about it once for each kind of answer.
    auto advised = std::make_shared<QStringList>();
    connect(sender, &indexnow::BatchSender::batchStarted, this, [this, total](int number, int) {
        lblProgress->setText(QStringLiteral("Sending batch %1 of %2").arg(number).arg(total));
        barProgress->setRange(0, total);
        barProgress->setValue(number - 1);
    });
    connect(sender, &indexnow::BatchSender::pausing, this, [this](int ms, const QString &why) {
        lblProgress->setText(QStringLiteral("Waiting %1: %2").arg(Seconds(ms), why));
    });
    connect(sender, &indexnow::BatchSender::answered, this,
            [this, total, keyFile, key, advised](int number, const HttpReply &reply) {
                const QString meaning = indexnow::Meaning(reply, timeoutMs_);
                report_ += QStringLiteral("\nBatch %1 of %2: %3")
                               .arg(number)
                               .arg(total)
                               .arg(reply.status ? QString::number(reply.status) +
                                                       QStringLiteral(", ") + meaning
                                                 : meaning);
                if (!advised->contains(meaning)) {
                    *advised << meaning;
                    report_ += QStringLiteral("\n    ") + indexnow::Advice(reply, keyFile, key);
                }
                barProgress->setValue(number);
            });
    connect(sender, &indexnow::BatchSender::finished, this,
            [this](const indexnow::BatchSender::Outcome &outcome) {
                RunHandler("cmdSend_Click", [&] { sent(outcome); });
            });
    setBusy(Busy::Sending);
    sender->start({endpoint, batchHost(), key, keyFile, sending_});
}

void SitemapDialog::sent(const indexnow::BatchSender::Outcome &outcome)
{
    if (sender_)
        sender_->deleteLater();
    QStringList lines;
    lines << QStringLiteral("%1 received, %2 not.")
                 .arg(Addresses(outcome.received), QLocale().toString(outcome.unsent.size()));
    if (outcome.cancelled)
        lines << QStringLiteral("Sending was cancelled.");
    if (outcome.retryAt.isValid())
        lines << QStringLiteral("The endpoint asked for a long pause: try again after %1.")
                     .arg(QLocale().toString(outcome.retryAt.toLocalTime(), QLocale::ShortFormat));
    if (!outcome.unsent.isEmpty())
        lines << QStringLiteral("Send Rest sends the %1 not received.")
                     .arg(Addresses(outcome.unsent.size()));
    report_ += QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    rest_ = outcome.unsent;
    lblProgress->setText(outcome.allReceived() ? QStringLiteral("Every address was received.")
                                               : QStringLiteral("Stopped."));
    setBusy(Busy::No);
    showSummary();
}

void SitemapDialog::cmdCancel_Click()
{
    if (loader_)
        loader_->cancel();
    if (sender_)
        sender_->cancel();
    if (keyCheck_) {
        indexnow::SharedHttp().cancel(keyCheck_);
        keyCheck_ = 0;
        lblProgress->setText(QStringLiteral("Cancelled: nothing was sent."));
        setBusy(Busy::No);
    }
}
