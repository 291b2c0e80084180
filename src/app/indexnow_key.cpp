#include "indexnow_key.h"

#include "appicon.h"
#include "bring_forward.h"
#include "failure.h"
#include "indexnow.h"
#include "key_check.h"
#include "keys.h"
#include "msgbox.h"
#include "settings_store.h"

#include <QClipboard>
#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPointer<IndexNowKeyDialog> &OpenDialog()
{
    static QPointer<IndexNowKeyDialog> dialog;
    return dialog;
}

const QString kTitle = QStringLiteral("IndexNow Key");

} // namespace

IndexNowKeyDialog *IndexNowKeyDialog::Open(QWidget *mainWindow, const QString &page,
                                           OpenInPane openInPane)
{
    QPointer<IndexNowKeyDialog> &dialog = OpenDialog();
    const bool fresh = !dialog;
    if (fresh)
        dialog = new IndexNowKeyDialog;
    dialog->page_ = page;
    dialog->openInPane_ = std::move(openInPane);
    dialog->Form_Load();
    if (fresh) {
        dialog->adjustSize();
        CentreOver(dialog, mainWindow);
    }
    BringForward(dialog);
    return dialog;
}

IndexNowKeyDialog *IndexNowKeyDialog::Instance()
{
    return OpenDialog();
}

IndexNowKeyDialog::IndexNowKeyDialog() : QDialog(nullptr)
{
    setObjectName(QStringLiteral("frmIndexNowKey"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kTitle);
    setWindowIcon(AppIcon());

    auto *intro = new QLabel(
        QStringLiteral("Search engines take an IndexNow submission only from a site that serves "
                       "the key: a UTF-8 text file named after the key, holding just the key, at "
                       "the root of the page's host."),
        this);
    intro->setWordWrap(true);

    auto field = [this](const char *name, const QString &accessibleName) {
        auto *edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setReadOnly(true);
        edit->setAccessibleName(accessibleName);
        edit->setMinimumWidth(420);
        return edit;
    };
    txtKey = field("txtKey", QStringLiteral("Key"));
    txtFileName = field("txtFileName", QStringLiteral("File name"));
    txtContent = field("txtContent", QStringLiteral("File content"));
    txtAddress = field("txtAddress", QStringLiteral("Address of the file"));
    txtAddress->setPlaceholderText(
        QStringLiteral("Type the page address on the Site Information tab first"));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("&Key:"), txtKey);
    form->addRow(QStringLiteral("File &name:"), txtFileName);
    form->addRow(QStringLiteral("File con&tent:"), txtContent);
    form->addRow(QStringLiteral("&Address:"), txtAddress);

    lblProblem = new QLabel(this);
    lblProblem->setObjectName(QStringLiteral("lblProblem"));
    lblProblem->setWordWrap(true);
    lblProblem->setTextFormat(Qt::PlainText);
    lblProblem->setText(QStringLiteral("This key breaks the key rules (8 to 128 letters, digits "
                                       "and hyphens) and is not sent. Make a new key."));

    auto button = [this](const char *name, const QString &caption, const char *handler,
                         void (IndexNowKeyDialog::*click)()) {
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
    QPushButton *cmdCopy = button("cmdCopy", QStringLiteral("&Copy Key"), "cmdCopy_Click",
                                  &IndexNowKeyDialog::cmdCopy_Click);
    cmdView = button("cmdView", QStringLiteral("&View in Pane"), "cmdView_Click",
                     &IndexNowKeyDialog::cmdView_Click);
    cmdCheck = button("cmdCheck", QStringLiteral("Check Key &File"), "cmdCheck_Click",
                      &IndexNowKeyDialog::cmdCheck_Click);
    QPushButton *cmdNewKey = button("cmdNewKey", QStringLiteral("&Make New Key..."),
                                    "cmdNewKey_Click", &IndexNowKeyDialog::cmdNewKey_Click);
    auto *cmdClose = new QPushButton(QStringLiteral("C&lose"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAccessibleName(QStringLiteral("Close"));
    cmdClose->setAutoDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdView);
    buttons->addWidget(cmdCheck);
    buttons->addWidget(cmdNewKey);
    buttons->addStretch();
    buttons->addWidget(cmdClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addLayout(form);
    layout->addWidget(lblProblem);
    lblCheck = new QLabel(this);
    lblCheck->setObjectName(QStringLiteral("lblCheck"));
    lblCheck->setWordWrap(true);
    lblCheck->setTextFormat(Qt::PlainText);
    lblCheck->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblCheck->hide();
    layout->addWidget(lblCheck);
    layout->addLayout(buttons);
}

IndexNowKeyDialog::~IndexNowKeyDialog()
{
    if (checking_) // its answer would come to a dialog that is gone
        indexnow::SharedHttp().cancel(checking_);
}

void IndexNowKeyDialog::Form_Load()
{
    SettingsStore store;
    const QString key = IndexNowKey(store);
    txtKey->setText(key);
    txtFileName->setText(indexnow::KeyFileName(key));
    txtContent->setText(key);
    txtAddress->setText(indexnow::KeyFileAddress(page_, key));
    lblProblem->setVisible(!indexnow::IsValidKey(key));
    cmdView->setEnabled(!txtAddress->text().isEmpty());
    cmdCheck->setEnabled(!txtAddress->text().isEmpty());
    // A verdict on another address or key no longer holds.
    if (checking_)
        indexnow::SharedHttp().cancel(checking_);
    checking_ = 0;
    lblCheck->hide();
}

void IndexNowKeyDialog::cmdCopy_Click()
{
    QGuiApplication::clipboard()->setText(txtKey->text());
}

void IndexNowKeyDialog::cmdView_Click()
{
    if (openInPane_)
        openInPane_(txtAddress->text());
}

void IndexNowKeyDialog::cmdCheck_Click()
{
    const QString address = txtAddress->text();
    if (address.isEmpty())
        return;
    indexnow::Http &http = indexnow::SharedHttp();
    if (checking_)
        http.cancel(checking_);
    lblCheck->setText(QStringLiteral("Checking %1 ...").arg(address));
    lblCheck->show();
    checking_ = indexnow::CheckKeyFile(
        http, address, txtKey->text(), [this](const indexnow::KeyFileCheck &check) {
            checking_ = 0;
            lblCheck->setText(check.warning.isEmpty()
                                  ? check.text
                                  : check.text + QLatin1Char('\n') + check.warning);
        });
}

void IndexNowKeyDialog::cmdNewKey_Click()
{
    const int answer =
        msgbox::Show(QStringLiteral("Make a new key? The site will then have to serve the new "
                                    "key's file instead of %1.")
                         .arg(txtFileName->text().left(140)),
                     msgbox::MB_YESNO, kTitle);
    if (answer != msgbox::IDYES)
        return;
    SettingsStore store;
    store.WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, indexnow::MakeKey());
    Form_Load();
}
