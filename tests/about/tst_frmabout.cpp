// The About box: its texts and layout, its keys, its one-instance lifetime
// and its System Info button.

#include "frmabout.h"
#include "msgbox.h"
#include "waiting_tool.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class FrmAboutTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir config_;
    QTemporaryDir *dir_ = nullptr;
    QByteArray savedPath_;

    static frmAbout *OpenShown()
    {
        frmAbout *box = frmAbout::Open();
        if (box && !QTest::qWaitForWindowActive(box))
            qWarning("the About box did not become active");
        return box;
    }
    static void Press(frmAbout *box, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        // Through the window, so the key goes where the focus is.
        QTest::keyClick(box->windowHandle(), key, modifiers);
    }
    static void CloseOpenBox()
    {
        QPointer<frmAbout> box = frmAbout::Instance();
        if (box)
            box->close();
        QTRY_VERIFY(box.isNull());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(config_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_.path()));
        msgbox::seam::Enable();
    }

    void init()
    {
        dir_ = new QTemporaryDir;
        QVERIFY(dir_->isValid());
        savedPath_ = qgetenv("PATH");
        // No system information tool can be found.
        qputenv("PATH", QFile::encodeName(dir_->path()));
        QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
        msgbox::seam::Enable();
    }

    void cleanup()
    {
        CloseOpenBox();
        qputenv("PATH", savedPath_);
        delete dir_;
    }

    void open_showsCaptionTitleVersionAndFixedTexts()
    {
        frmAbout *box = OpenShown();
        QVERIFY(box);
        QCOMPARE(box->objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(box->windowTitle(), QStringLiteral("About Pagecrier"));
        QCOMPARE(box->lblTitle->text(), QStringLiteral("Pagecrier"));
        QCOMPARE(box->lblVersion->text(), QStringLiteral("Version 1.0.0"));
        QCOMPARE(box->cmdOK->text(), QStringLiteral("OK"));
        QCOMPARE(box->cmdSysInfo->text(), QStringLiteral("&System Info..."));
        QVERIFY(box->lblDescription->text().contains(QStringLiteral("Copyright \u00A9 2026")));
        QVERIFY(box->lblDescription->text().contains(QStringLiteral("Pagecrier developers")));

        // A web address, then the e-mail address on a line of its own.
        const QStringList contact = box->lblDisclaimer->text().split(QLatin1Char('\n'));
        QCOMPARE(contact.size(), 2);
        QVERIFY(contact[0].startsWith(QStringLiteral("https://")));
        QVERIFY(contact[1].contains(QLatin1Char('@')));
        QVERIFY(!contact[1].contains(QLatin1Char(' ')));

        for (QLabel *label : {box->lblDescription, box->lblDisclaimer, box->lblTitle})
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::black));
        QVERIFY(!box->windowIcon().isNull());
        QCOMPARE(box->picIcon->pixmap().size(), QSize(32, 32));
    }

    void versionLine_isBuiltFromTheNumbers()
    {
        QCoreApplication::setApplicationVersion(QStringLiteral("2.10.7"));
        frmAbout *box = OpenShown();
        QCOMPARE(box->lblVersion->text(), QStringLiteral("Version 2.10.7"));
    }

    void versionLine_writesEachNumberPlainly_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("line");
        QTest::newRow("designed text") << "1.00"
                                       << "Version 1.0.0";
        QTest::newRow("leading zeros") << "02.010.007"
                                       << "Version 2.10.7";
        QTest::newRow("four parts") << "2.10.7.0"
                                    << "Version 2.10.7";
        QTest::newRow("suffix") << "3.1.4-beta"
                                << "Version 3.1.4";
        QTest::newRow("unset, from the build") << ""
                                               << "Version 1.0.0";
    }
    void versionLine_writesEachNumberPlainly()
    {
        QFETCH(QString, version);
        QFETCH(QString, line);
        QCOMPARE(AboutVersionLine(version), line);
    }

    void layout_isTheDesignedFixedDialog()
    {
        frmAbout *box = OpenShown();
        QCOMPARE(box->size(), QSize(382, 237));
        QCOMPARE(box->minimumSize(), QSize(382, 237));
        QCOMPARE(box->maximumSize(), QSize(382, 237));
        QCOMPARE(box->geometry().topLeft(), QPoint(156, 129));
        QVERIFY(!box->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!box->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(box->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        QVERIFY(!box->isModal());
        QVERIFY(!box->parentWidget());
        // Keeps the program running while it is open, like any window.
        QVERIFY(box->testAttribute(Qt::WA_QuitOnClose));

        QCOMPARE(box->cmdOK->geometry(), QRect(283, 175, 84, 23));
        QCOMPARE(box->picIcon->geometry(), QRect(16, 16, 36, 36));
        QCOMPARE(box->cmdSysInfo->geometry(), QRect(284, 205, 83, 23));
        QCOMPARE(box->lblDescription->geometry(), QRect(70, 75, 259, 78));
        QCOMPARE(box->lblDisclaimer->geometry(), QRect(17, 175, 258, 55));
        QCOMPARE(box->lblTitle->geometry(), QRect(70, 16, 259, 32));
        QCOMPARE(box->lblVersion->geometry(), QRect(70, 52, 259, 15));

        const QList<QFrame *> lines = box->findChildren<QFrame *>(QStringLiteral("Line1"));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(box->Line1[1]->geometry(), QRect(6, 163, 371, 1));
        QCOMPARE(box->Line1[1]->palette().color(QPalette::Window), QColor(128, 128, 128));
        QCOMPARE(box->Line1[0]->geometry(), QRect(7, 164, 370, 2));
        QCOMPARE(box->Line1[0]->palette().color(QPalette::Window), QColor(255, 255, 255));
    }

    void open_givesOkTheFocus_andTabGoesToSystemInfo()
    {
        frmAbout *box = OpenShown();
        QTRY_COMPARE(QApplication::focusWidget(), box->cmdOK);
        QVERIFY(box->cmdOK->isDefault());
        Press(box, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box->cmdSysInfo);
        Press(box, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), box->cmdOK);
    }

    void enterOnOk_closesAndUnloads()
    {
        QPointer<frmAbout> box = OpenShown();
        QSignalSpy ok(box->cmdOK, &QPushButton::clicked);
        Press(box, Qt::Key_Return);
        QCOMPARE(ok.count(), 1);
        QTRY_VERIFY(box.isNull());
        QVERIFY(!frmAbout::Instance());
    }

    void escape_pressesOk_andUnloads()
    {
        QPointer<frmAbout> box = OpenShown();
        QSignalSpy ok(box->cmdOK, &QPushButton::clicked);
        box->cmdSysInfo->setFocus();
        Press(box, Qt::Key_Escape);
        QCOMPARE(ok.count(), 1);
        QTRY_VERIFY(box.isNull());
        QVERIFY(msgbox::seam::TakeShown().isEmpty());
    }

    void closeBox_unloads()
    {
        QPointer<frmAbout> box = OpenShown();
        box->close();
        QTRY_VERIFY(box.isNull());
        QVERIFY(!frmAbout::Instance());
    }

    void enterOnSystemInfo_pressesThatButton_notOk()
    {
        QPointer<frmAbout> box = OpenShown();
        QSignalSpy ok(box->cmdOK, &QPushButton::clicked);
        QSignalSpy sysInfo(box->cmdSysInfo, &QPushButton::clicked);
        box->cmdSysInfo->setFocus();
        QCOMPARE(QApplication::focusWidget(), box->cmdSysInfo);

        Press(box, Qt::Key_Return);

        QCOMPARE(sysInfo.count(), 1);
        QCOMPARE(ok.count(), 0);
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(shown[0].title, QStringLiteral("Pagecrier"));
        QCOMPARE(shown[0].style, int(msgbox::MB_OK));
        QCoreApplication::processEvents();
        QVERIFY(!box.isNull());
        QVERIFY(box->isVisible());
    }

    void altS_pressesSystemInfo()
    {
        QPointer<frmAbout> box = OpenShown();
        QSignalSpy sysInfo(box->cmdSysInfo, &QPushButton::clicked);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
        // The access key presses the button as a click shown on screen.
        QTRY_COMPARE(sysInfo.count(), 1);
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        QVERIFY(!box.isNull());
    }

    void systemInfo_withToolInstalled_startsIt()
    {
        const WaitingTool tool = WaitingTool::Create(dir_->filePath(QStringLiteral("hardinfo")));
        frmAbout *box = OpenShown();

        box->cmdSysInfo->click();

        QVERIFY(msgbox::seam::TakeShown().isEmpty());
        QVERIFY(!tool.HasRun());
        tool.Release();
        QTRY_VERIFY_WITH_TIMEOUT(tool.HasRun(), 30000);
        QCOMPARE(tool.Report().value(1), QStringLiteral("0"));
    }

    void getKeyValue_readsThisBuildsRegistry()
    {
        std::string value = "before";
        QVERIFY(!frmAbout::GetKeyValue(sysinfo::kHkeyLocalMachine,
                                       "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                                       value));
        QCOMPARE(value, std::string());

        const WaitingTool tool = WaitingTool::Create(dir_->filePath(QStringLiteral("hardinfo")));
        QVERIFY(frmAbout::GetKeyValue(sysinfo::kHkeyLocalMachine,
                                      "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", value));
        QCOMPARE(QString::fromStdString(value), tool.path);
    }

    void openAgainAfterClosing_loadsAfresh()
    {
        QCoreApplication::setApplicationVersion(QStringLiteral("2.10.7"));
        QPointer<frmAbout> first = OpenShown();
        QCOMPARE(first->lblVersion->text(), QStringLiteral("Version 2.10.7"));
        Press(first, Qt::Key_Escape);
        QTRY_VERIFY(first.isNull());

        // A changed version shows only if the load handler ran again.
        QCoreApplication::setApplicationVersion(QStringLiteral("3.4.5"));
        QPointer<frmAbout> second = OpenShown();
        QVERIFY(second);
        QCOMPARE(second->lblVersion->text(), QStringLiteral("Version 3.4.5"));
        QCOMPARE(second->windowTitle(), QStringLiteral("About Pagecrier"));
        QCOMPARE(second->lblTitle->text(), QStringLiteral("Pagecrier"));
    }

    void openWhileOpen_bringsTheSameBoxToTheFront_withoutLoadingAgain()
    {
        QCoreApplication::setApplicationVersion(QStringLiteral("2.10.7"));
        frmAbout *first = OpenShown();
        first->lower();
        QCoreApplication::setApplicationVersion(QStringLiteral("9.9.9"));

        frmAbout *second = frmAbout::Open();

        QCOMPARE(second, first);
        QCOMPARE(frmAbout::Instance(), first);
        QCOMPARE(second->lblVersion->text(), QStringLiteral("Version 2.10.7"));
        int boxes = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<frmAbout *>(w))
                ++boxes;
        QCOMPARE(boxes, 1);
        QVERIFY(second->isVisible());
    }
};

QTEST_MAIN(FrmAboutTest)
#include "tst_frmabout.moc"
