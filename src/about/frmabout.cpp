#include "frmabout.h"

#include "appicon.h"
#include "bring_forward.h"
#include "failure.h"
#include "fit_text.h"
#include "identity.h"
#include "msgbox.h"
#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"
#include "twips_rect.h"

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

namespace {

// Client area and its designed place on the screen.
const QRect kClientArea = ToPixels({2340, 1935, 5730, 3555});

const char kDescription[] = "Copyright \u00A9 2026 The Pagecrier developers.\n"
                            "Pagecrier is free software under the MIT licence.";
const char kContact[] = "https://pagecrier.org/\n"
                        "developers@pagecrier.org";

QPointer<frmAbout> &OpenBox()
{
    static QPointer<frmAbout> box;
    return box;
}

QLabel *MakeLabel(QWidget *parent, const char *name, const QRect &geometry, bool black)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

QFrame *MakeLine(QWidget *parent, int index, const QColor &colour, const QRect &geometry)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setProperty("index", index);
    line->setFrameShape(QFrame::NoFrame);
    line->setGeometry(geometry);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
    return line;
}

int VersionPart(const QStringList &parts, int index)
{
    if (index >= parts.size())
        return 0;
    // Leading digits only: "7-beta" is 7.
    const QString &part = parts.at(index);
    int digits = 0;
    while (digits < part.size() && part.at(digits).isDigit())
        ++digits;
    bool ok = false;
    const uint value = part.left(digits).toUInt(&ok);
    return ok && value <= 0xFFFF ? int(value) : 0;
}

} // namespace

QString AboutVersionLine(const QString &version)
{
    const QStringList parts = version.trimmed().split(QLatin1Char('.'));
    int major = identity::kVersionMajor;
    int minor = identity::kVersionMinor;
    int revision = identity::kVersionRevision;
    if (!version.trimmed().isEmpty()) {
        major = VersionPart(parts, 0);
        minor = VersionPart(parts, 1);
        revision = VersionPart(parts, 2);
    }
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(revision);
}

frmAbout::frmAbout()
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setSizeGripEnabled(false);
    setWindowIcon(AppIcon());
    // Where the window system lets a program place its windows, the client
    // area opens at its designed place.
    setGeometry(kClientArea);
    setFixedSize(kClientArea.size());

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setGeometry(ToPixels({4245, 2625, 1260, 345}));
    cmdOK->setDefault(true);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setGeometry(ToPixels({240, 240, 540, 540}));
    picIcon->setAlignment(Qt::AlignCenter);
    picIcon->setPixmap(AppIcon().pixmap(32, 32));

    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(ToPixels({4260, 3075, 1245, 345}));

    lblDescription = MakeLabel(this, "lblDescription", ToPixels({1050, 1125, 3885, 1170}), true);
    lblDescription->setText(QString::fromUtf8(kDescription));
    lblDisclaimer = MakeLabel(this, "lblDisclaimer", ToPixels({255, 2625, 3870, 825}), true);
    lblDisclaimer->setText(QString::fromUtf8(kContact));
    lblDisclaimer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblTitle = MakeLabel(this, "lblTitle", ToPixels({1050, 240, 3885, 480}), true);
    lblVersion = MakeLabel(this, "lblVersion", ToPixels({1050, 780, 3885, 225}), false);

    // Grey line (90, 2445)-(5654, 2445), one pixel; white line (105, 2460)-
    // (5654, 2460), two pixels.
    Line1[1] = MakeLine(this, 1, QColor(128, 128, 128), QRect(6, 163, 371, 1));
    Line1[0] = MakeLine(this, 0, QColor(255, 255, 255), QRect(7, 164, 370, 2));

    FitTextToBoxes({cmdOK, cmdSysInfo});
    setTabOrder(cmdOK, cmdSysInfo);

    connect(cmdOK, &QPushButton::clicked, this,
            [this] { RunHandler("cmdOK_Click", [this] { cmdOK_Click(); }); });
    connect(cmdSysInfo, &QPushButton::clicked, this,
            [this] { RunHandler("cmdSysInfo_Click", [this] { cmdSysInfo_Click(); }); });
}

frmAbout::~frmAbout() = default;

frmAbout *frmAbout::Open()
{
    QPointer<frmAbout> &box = OpenBox();
    const bool opening = !box;
    if (opening) {
        box = new frmAbout;
        box->Form_Load();
    }
    BringForward(box);
    if (opening)
        box->cmdOK->setFocus(Qt::OtherFocusReason);
    return box;
}

frmAbout *frmAbout::Instance()
{
    return OpenBox();
}

void frmAbout::Form_Load()
{
    const QString title = QString::fromLatin1(identity::kTitle);
    setWindowTitle(QStringLiteral("About ") + title);
    lblVersion->setText(AboutVersionLine(QCoreApplication::applicationVersion()));
    lblTitle->setText(title);
}

void frmAbout::cmdOK_Click()
{
    close();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::StartSysInfo()
{
    sysinfo::StartSysInfo(sysinfo::NativeRegistry(),
                          sysinfo::NativePlatform([](const std::string &text) {
                              msgbox::Show(QString::fromStdString(text), msgbox::MB_OK);
                          }));
}

bool frmAbout::GetKeyValue(const sysinfo::RegHandle &KeyRoot, const std::string &KeyName,
                           const std::string &SubKeyRef, std::string &KeyVal)
{
    return sysinfo::GetKeyValue(sysinfo::NativeRegistry(), KeyRoot, KeyName, SubKeyRef, KeyVal);
}

void frmAbout::keyPressEvent(QKeyEvent *event)
{
    // Esc presses OK, the cancel button, rather than rejecting the dialog.
    if (event->matches(QKeySequence::Cancel)) {
        cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
