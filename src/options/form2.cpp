#include "form2.h"

#include "appicon.h"
#include "bring_forward.h"
#include "failure.h"
#include "fit_text.h"
#include "keys.h"
#include "settings_store.h"
#include "twips_rect.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPointer>
#include <QPushButton>

namespace {

QPointer<Form2> &OpenDialog()
{
    static QPointer<Form2> dialog;
    return dialog;
}

// A check box that can show the indeterminate state it was given, while a
// click only ever toggles between cleared and checked (an indeterminate box
// becomes checked).
class OptionCheckBox : public QCheckBox
{
public:
    OptionCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
    {
        setTristate(true);
    }

protected:
    void nextCheckState() override
    {
        setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
};

// The state numbers the options are stored as: 0 cleared, 1 checked,
// 2 indeterminate (Qt counts them in another order).
Qt::CheckState FromStateNumber(int state)
{
    switch (state) {
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        return Qt::Unchecked;
    }
}

QString StateText(const QCheckBox *box)
{
    switch (box->checkState()) {
    case Qt::Checked:
        return QStringLiteral("1");
    case Qt::PartiallyChecked:
        return QStringLiteral("2");
    case Qt::Unchecked:
        break;
    }
    return QStringLiteral("0");
}

} // namespace

Form2 *Form2::Open(QWidget *mainWindow)
{
    QPointer<Form2> &dialog = OpenDialog();
    if (!dialog) {
        dialog = new Form2;
        dialog->Form_Load();
        CentreOver(dialog, mainWindow);
    }
    BringForward(dialog);
    return dialog;
}

Form2 *Form2::Instance()
{
    return OpenDialog();
}

Form2::Form2() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    // A dialog-like window, but not a QDialog: a QDialog would close on
    // Escape and press its buttons on Enter.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("Options"));
    setWindowIcon(AppIcon());
    setFixedSize(ToPixels({0, 0, 5520, 1545}).size());

    // Created in tab order.
    Check1 = new OptionCheckBox(QStringLiteral("Load Favs on program Startup"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(ToPixels({120, 120, 3135, 255}));

    Check2 = new OptionCheckBox(
        QStringLiteral("Use Auto-Complete for URL field (Requires Program Restart)"), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setGeometry(ToPixels({120, 480, 4935, 255}));

    Command1 = new QPushButton(QStringLiteral("&Apply"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(ToPixels({4200, 1080, 1215, 375}));

    Command2 = new QPushButton(QStringLiteral("&Cancel"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(ToPixels({2880, 1080, 1215, 375}));

    Command3 = new QPushButton(QStringLiteral("&OK"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(ToPixels({1560, 1080, 1215, 375}));

    for (QPushButton *button : {Command1, Command2, Command3}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    FitTextToBoxes({Check1, Check2, Command1, Command2, Command3});
    setTabOrder(Check1, Check2);
    setTabOrder(Check2, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
}

Form2::~Form2()
{
    if (OpenDialog() == this)
        OpenDialog() = nullptr;
}

void Form2::Form_Load()
{
    // When the store cannot be read, the boxes show the defaults, as on a
    // first run, so that OK stores nothing the user did not choose; the
    // report says so.
    QStringList stored = {keys::kStartupDefault, keys::kAutoDefault};
    RunHandler("Form_Load", [&stored] {
        try {
            stored = SettingsStore().ReadSettings(
                keys::kApp, keys::kSection,
                {{keys::kStartup, keys::kStartupDefault}, {keys::kAuto, keys::kAutoDefault}});
        } catch (const SettingsError &e) {
            throw SettingsError(e.message() + QStringLiteral(" The boxes show the defaults."));
        }
    });
    Check1->setCheckState(FromStateNumber(OptionCheckState(stored.at(0), keys::kStartupDefault)));
    Check2->setCheckState(FromStateNumber(OptionCheckState(stored.at(1), keys::kAutoDefault)));
}

void Form2::Command1_Click()
{
    RunHandler("Command1_Click", [this] { WriteOptions(); });
}

void Form2::Command2_Click()
{
    RunHandler("Command2_Click", [this] { close(); });
}

void Form2::Command3_Click()
{
    RunHandler("Command3_Click", [this] {
        WriteOptions();
        close();
    });
}

void Form2::WriteOptions()
{
    // Both in one change of the store: one read of the file, and never one
    // option written without the other.
    SettingsStore().WriteSettings(
        keys::kApp, keys::kSection,
        {{keys::kStartup, StateText(Check1)}, {keys::kAuto, StateText(Check2)}});
}

void Form2::closeEvent(QCloseEvent *event)
{
    // Closing unloads the dialog: the next opening loads it afresh, even
    // before this one is deleted.
    if (OpenDialog() == this)
        OpenDialog() = nullptr;
    event->accept();
}
