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

    void versionLine_writesEachNumberPlainly_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("line");
        const auto row = [](const char *name, const char *version, const char *line) {
            QTest::newRow(name) << QString::fromLatin1(version) << QString::fromLatin1(line);
        };
        row("designed text", "1.00", "Version 1.0.0");
        row("leading zeros", "02.010.007", "Version 2.10.7");
        row("four numbers", "2.10.7.0", "Version 2.10.7");
        row("suffix", "3.1.4-beta", "Version 3.1.4");
        row("unset, from the build", "", "Version 1.0.0");
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

    void closing_pressesOkOnlyByKey_andUnloads_data()
    {
        QTest::addColumn<int>("key"); // 0: the window is closed
        QTest::addColumn<bool>("fromSysInfo");
        QTest::addColumn<int>("okClicks");
        QTest::newRow("Enter on OK") << int(Qt::Key_Return) << false << 1;
        QTest::newRow("Esc on System Info") << int(Qt::Key_Escape) << true << 1;
        QTest::newRow("window closed") << 0 << false << 0;
    }
    void closing_pressesOkOnlyByKey_andUnloads()
    {
        QFETCH(int, key);
        QFETCH(bool, fromSysInfo);
        QFETCH(int, okClicks);
        QPointer<frmAbout> box = OpenShown();
        QSignalSpy ok(box->cmdOK, &QPushButton::clicked);
        if (fromSysInfo)
            box->cmdSysInfo->setFocus();
        if (key)
            Press(box, Qt::Key(key));
        else
            box->close();
        QCOMPARE(ok.count(), okClicks);
        QTRY_VERIFY(box.isNull());
        QVERIFY(!frmAbout::Instance());
        QVERIFY(msgbox::seam::TakeShown().isEmpty());
    }

    void systemInfoByKey_pressesThatButton_notOk_data()
    {
        QTest::addColumn<bool>("accessKey");
        QTest::newRow("Enter on System Info") << false;
        QTest::newRow("Alt+S") << true;
    }
    void systemInfoByKey_pressesThatButton_notOk()
    {
        QFETCH(bool, accessKey);
        QPointer<frmAbout> box = OpenShown();
        QSignalSpy ok(box->cmdOK, &QPushButton::clicked);
        QSignalSpy sysInfo(box->cmdSysInfo, &QPushButton::clicked);
        if (accessKey) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
        } else {
            box->cmdSysInfo->setFocus();
            QCOMPARE(QApplication::focusWidget(), box->cmdSysInfo);
            Press(box, Qt::Key_Return);
        }

        // The access key presses the button as a click shown on screen.
        QTRY_COMPARE(sysInfo.count(), 1);
        QCOMPARE(ok.count(), 0);
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QString::fromLatin1(kUnavailableText));
        QCOMPARE(shown[0].title, QStringLiteral("Pagecrier"));
        QCOMPARE(shown[0].style, int(msgbox::MB_OK));
        QCoreApplication::processEvents();
        QVERIFY(!box.isNull());
        QVERIFY(box->isVisible());
    }

    void systemInfo_withToolInstalled_startsIt()
    {
        const WaitingTool tool = WaitingTool::Create(dir_->filePath(QStringLiteral("hardinfo")));
        frmAbout *box = OpenShown();

        box->cmdSysInfo->click();

        QVERIFY(msgbox::seam::TakeShown().isEmpty());
        tool.ExpectStartedDetached();
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
            boxes += qobject_cast<frmAbout *>(w) != nullptr;
        QCOMPARE(boxes, 1);
        QVERIFY(second->isVisible());
    }
};

QTEST_MAIN(FrmAboutTest)
#include "tst_frmabout.moc"
