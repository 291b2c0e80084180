#include "engines.h"
#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "gui_test_main.h"
#include "layout.h"
#include "local_server.h"
#include "msgbox.h"
#include "sstab.h"
#include "webbrowser.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QWebEngineView>
#include <QtTest>

#include <algorithm>
#include <cstdio>

// The main window driven as a user would: mouse, keys, access letters, with
// the engines' requests arriving at a local server.
class TestForm1 : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *home_ = nullptr;
    LocalServer *server_ = nullptr;
    Form1 *form_ = nullptr;

    template <typename T = QWidget> T *control(const QString &name) const
    {
        T *widget = form_->findChild<T *>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    WebBrowser *pane() const { return control<WebBrowser>("WebBrowser1"); }
    SSTab *tabs() const { return control<SSTab>("SSTab1"); }

    void clickTab(int index)
    {
        QTabBar *bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QCOMPARE(tabs()->currentIndex(), index);
    }

    void fill(const SiteDetails &site)
    {
        control<QLineEdit>("url")->setText(site.url);
        control<QLineEdit>("name1")->setText(site.name1);
        control<QLineEdit>("mail")->setText(site.mail);
    }

    QStringList fieldTexts() const
    {
        return {control<QLineEdit>("url")->text(), control<QLineEdit>("name1")->text(),
                control<QLineEdit>("mail")->text()};
    }

    // The request line a browser sends for an engine's address.
    QString expectedRequest(const QString &button, const SiteDetails &site) const
    {
        const QString address =
            RequestAddress(*EngineForControl(button), site, HostTable::AllAt(server_->host()));
        return QStringLiteral("GET ") +
               address.mid(QStringLiteral("http://").size() + server_->host().size()) +
               QStringLiteral(" HTTP/1.1");
    }

    // Runs this test program as the application itself in one of the
    // lifetime scenarios below and returns what it printed.
    static QStringList runLifetime(const QString &scenario)
    {
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--lifetime"), scenario});
        if (!process.waitForFinished(60000)) {
            process.kill();
            return {QStringLiteral("did not end")};
        }
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return {QStringLiteral("failed: ") +
                    QString::fromLocal8Bit(process.readAllStandardError())};
        return QString::fromLocal8Bit(process.readAllStandardOutput())
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void init()
    {
        home_ = new QTemporaryDir;
        qputenv("XDG_CONFIG_HOME", home_->filePath(QStringLiteral("config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", home_->filePath(QStringLiteral("data")).toLocal8Bit());
        msgbox::seam::Enable();
        server_ = new LocalServer;
        form_ = new Form1;
        form_->setHosts(HostTable::AllAt(server_->host()));
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_));
        QTRY_VERIFY(pane()->engineStarted());
        QTRY_COMPARE(pane()->view()->url(), QUrl(QStringLiteral("about:blank")));
    }

    void cleanup()
    {
        delete form_;
        delete server_;
        delete home_;
        form_ = nullptr;
        msgbox::seam::Disable();
    }

    void startsOnFirstTab_withEmptyFieldsAndBlankPane()
    {
        QCOMPARE(form_->windowTitle(), QStringLiteral("Pagecrier"));
        QCOMPARE(tabs()->currentIndex(), 0);
        QCOMPARE(tabs()->tabBar()->tabText(0), QStringLiteral("Site Information"));
        QCOMPARE(tabs()->tabBar()->tabText(1), QStringLiteral("Submit Site to..."));
        QCOMPARE(fieldTexts(), QStringList({"", "", ""}));
        QVERIFY(control("Frame1")->isVisible());
        QVERIFY(!control("Frame2")->isVisible());
        QCOMPARE(QApplication::focusWidget(), control("url"));
        QCOMPARE(control<QLabel>("Label7")->text(), QLatin1String(kInstructionText));
        // The field labels are shown whole in their designed boxes.
        for (const char *name : {"Label2", "Label5", "Label6"}) {
            auto *label = control<QLabel>(name);
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(), name);
        }
        QCOMPARE(form_->centralWidget()->size(), QSize(679, 348));
        QVERIFY(server_->requests().isEmpty());
    }

    void engineButtons_byMouse_sendExactRequestAndShowAnswer_data()
    {
        QTest::addColumn<QString>("button");
        for (const Engine &e : Catalogue())
            QTest::newRow(e.name) << QString::fromLatin1(e.control);
    }

    void engineButtons_byMouse_sendExactRequestAndShowAnswer()
    {
        QFETCH(QString, button);
        const SiteDetails site{"http://example.com/page.html", "Ann Lee", "me@example.com"};
        fill(site);
        clickTab(1);
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
        QTRY_COMPARE(server_->requests(), QStringList{expectedRequest(button, site)});
        QTRY_COMPARE(pane()->view()->title(), QStringLiteral("Answer 1"));
        // A press changes none of the fields.
        QCOMPARE(fieldTexts(), QStringList({site.url, site.name1, site.mail}));
    }

    void hostileField_arrivesAsOneParameter()
    {
        fill({"http://e.com/a b?x=1&y=2#top", {}, QString::fromUtf8("zoë+1@e.com")});
        clickTab(1);
        QTest::mouseClick(control<QPushButton>("Command2"), Qt::LeftButton);
        QTRY_COMPARE(
            server_->requests(),
            QStringList{"GET /cgi-bin/spider_now.pl?query=http://e.com/a%20b?x%3D1%26y%3D2%"
                        "23top&email=zo%C3%AB%2B1@e.com HTTP/1.1"});
    }

    void engineButtons_byUniqueAccessLetter_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("button");
        const QPair<char, const char *> letters[] = {
            {'G', "Command1"},  {'A', "Command3"},  {'E', "Command4"},
            {'M', "Command5"},  {'N', "Command7"},  {'S', "Command8"},
            {'Z', "Command12"}, {'I', "Command13"}, {'U', "Command14"}};
        for (const auto &[letter, button] : letters) // Qt::Key_A... are the letters' codes
            QTest::addRow("%c", letter) << int(letter) << QString::fromLatin1(button);
    }

    void engineButtons_byUniqueAccessLetter()
    {
        QFETCH(int, key);
        QFETCH(QString, button);
        const SiteDetails site{"http://example.com/", "Ann", "me@example.com"};
        fill(site);
        clickTab(1);
        QTest::keyClick(form_, Qt::Key(key), Qt::AltModifier);
        QTRY_COMPARE(server_->requests(), QStringList{expectedRequest(button, site)});
    }

    void sharedAccessLetter_movesFocusAndPressesNothing()
    {
        clickTab(1);
        QTest::keyClick(form_, Qt::Key_L, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), control("Command2"));
        QTest::keyClick(form_, Qt::Key_L, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), control("Command15"));
        QTest::qWait(300);
        QVERIFY(server_->requests().isEmpty());
    }

    void twoQuickPresses_leaveThePaneOnTheSecond()
    {
        fill({"http://example.com/", {}, "me@e.com"});
        clickTab(1);
        QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>("Command14"), Qt::LeftButton);
        QTRY_VERIFY(!server_->requests().isEmpty() &&
                    server_->requests().last().startsWith(
                        QLatin1String("GET /cgi-bin/addurl.cgi?Email=me@e.com&URL=")));
        QTRY_COMPARE(pane()->view()->url().path(), QStringLiteral("/cgi-bin/addurl.cgi"));
        QTRY_VERIFY(pane()->view()->title().startsWith(QLatin1String("Answer")));
        QCOMPARE(pane()->view()->url().path(), QStringLiteral("/cgi-bin/addurl.cgi"));
    }

    void enterAndEscInAField_pressNothing()
    {
        QObject scope;
        QStringList clicked;
        for (QPushButton *b : form_->findChildren<QPushButton *>())
            connect(b, &QPushButton::clicked, &scope,
                    [&clicked, b] { clicked << b->objectName(); });
        for (const char *field : {"url", "name1", "mail"}) {
            control(field)->setFocus();
            QTest::keyClicks(control(field), QStringLiteral("x"));
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(control(field), key);
        }
        clickTab(1);
        QTest::keyClick(tabs()->tabBar(), Qt::Key_Return);
        QTest::keyClick(tabs()->tabBar(), Qt::Key_Escape);
        QTest::qWait(300);
        QCOMPARE(clicked, QStringList());
        QVERIFY(msgbox::seam::ShownSoFar().isEmpty());
        QVERIFY(server_->requests().isEmpty());
        QCOMPARE(fieldTexts(), QStringList({"x", "x", "x"}));
    }

    void switchingTabs_showsFramesInTheSamePlace_andKeepsTexts()
    {
        fill({"u", "n", "m"});
        const QRect frame1 = control("Frame1")->geometry();
        clickTab(1);
        QVERIFY(control("Frame2")->isVisible());
        QVERIFY(!control("Frame1")->isVisible());
        QCOMPARE(control("Frame2")->geometry(), frame1);
        QVERIFY(control("Command1")->geometry().bottom() < pane()->geometry().top());
        // Keyboard: Ctrl+Tab from inside the tab control goes back.
        control("Command1")->setFocus();
        QTest::keyClick(control("Command1"), Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(tabs()->currentIndex(), 0);
        QCOMPARE(fieldTexts(), QStringList({"u", "n", "m"}));
    }

    void tabKey_followsTheDesignedKeyboardOrder()
    {
        auto walk = [](QWidget *start, int steps) {
            QStringList seen;
            start->setFocus();
            for (int i = 0; i < steps; ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                seen << QApplication::focusWidget()->objectName();
            }
            return seen;
        };
        // Site Information: the fields, the tab strip, then the favorites
        // buttons from right to left.
        QCOMPARE(walk(control("url"), 7), QStringList({"name1", "mail", "SSTab1Tabs", "Command9",
                                                       "Command10", "Command11", "url"}));
        clickTab(1);
        // Submit to: the engine buttons from What u Seek back to Google, then
        // the last four.
        QCOMPARE(walk(control("Command8"), 8),
                 QStringList({"Command7", "Command6", "Command5", "Command4", "Command3",
                              "Command2", "Command1", "Command12"}));
        QCOMPARE(walk(control("Command12"), 3),
                 QStringList({"Command13", "Command14", "Command15"}));
        // The page in the browser pane comes right after the tab strip and
        // right before What u Seek.
        tabs()->tabBar()->setFocus();
        QTest::keyClick(tabs()->tabBar(), Qt::Key_Tab);
        QVERIFY(pane()->isAncestorOf(QApplication::focusWidget()));
        control("Command8")->setFocus();
        QTest::keyClick(control("Command8"), Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(pane()->isAncestorOf(QApplication::focusWidget()));
    }

    void menus_haveTheirCaptionsAndShortcuts()
    {
        // Per menu: its caption, then name, caption and shortcut of each entry.
        const QList<QStringList> expected = {
            {"&File", "mnuFileSave", "&Save entries as Favorites", "Ctrl+S", "mnuFileGet",
             "&Get Favorites", "Ctrl+G", "asfsdf", "", "", "mnuFileExit", "E&xit", ""},
            {"&Tools", "mnuToolsOPtions", "&Options", "", "mnuToolsIndexNow",
             "Submit with &IndexNow", "", "mnuToolsIndexNowKey", "IndexNow &Key...", ""},
            {"&Help", "mnuHelpAbout", "&About", ""},
        };
        const QList<QAction *> top = form_->menuBar()->actions();
        QCOMPARE(top.size(), expected.size());
        for (int m = 0; m < top.size(); ++m) {
            QStringList seen{top[m]->text()};
            for (QAction *a : top[m]->menu()->actions()) {
                seen << a->objectName() << a->text() << a->shortcut().toString();
                QVERIFY(a->isEnabled() && a->isVisible() && !a->isChecked());
                QCOMPARE(a->isSeparator(), a->objectName() == QLatin1String("asfsdf"));
            }
            QCOMPARE(seen, expected[m]);
        }
    }

    void failingHandler_reportsAndKeepsTheWindow()
    {
        // A regular file where the settings folder should be: saving fails.
        QFile blocker(home_->filePath(QStringLiteral("config/pagecrier")));
        QDir().mkpath(home_->filePath(QStringLiteral("config")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        fill({"http://example.com/", "Ann", "me@e.com"});
        QTest::mouseClick(control<QPushButton>("Command11"), Qt::LeftButton);
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].title, QStringLiteral("Pagecrier"));
        QVERIFY2(shown[0].text.contains(QStringLiteral("Command11_Click")),
                 qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains(home_->filePath(QStringLiteral("config/pagecrier"))),
                 qPrintable(shown[0].text));
        QVERIFY(form_->isVisible());
        QCOMPARE(fieldTexts(), QStringList({"http://example.com/", "Ann", "me@e.com"}));
        // The window still works.
        clickTab(1);
        QTest::mouseClick(control<QPushButton>("Command3"), Qt::LeftButton);
        QTRY_COMPARE(server_->requests().size(), 1);
    }

    void closeBox_unloadsOnlyTheMainWindow_programEndsWithTheLastWindow()
    {
        QCOMPARE(runLifetime(QStringLiteral("close-main-first")),
                 QStringList({"main window closed", "options still open", "program ended"}));
    }

    void fileExit_withAboutOpen_endsTheProgramAtOnce()
    {
        QCOMPARE(runLifetime(QStringLiteral("exit-with-about")),
                 QStringList({"about open", "program ended", "no window left"}));
    }

    void fileExit_endsTheProgramClosingEveryWindow()
    {
        QWidget other;
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QAction *exit = form_->findChild<QAction *>(QStringLiteral("mnuFileExit"));
        exit->trigger();
        QVERIFY(!form_->isVisible());
        QVERIFY(!other.isVisible());
    }
};

// The application's own lifetime, as main() sets it up: the main window is
// deleted when closed and the program ends when its last window closes.
static int lifetimeScenario(const QString &scenario)
{
    auto say = [](const char *line) { std::printf("%s\n", line), std::fflush(stdout); };
    auto *form1 = new Form1;
    form1->setAttribute(Qt::WA_DeleteOnClose);
    form1->show();
    QPointer<Form1> watch(form1);
    if (scenario == QLatin1String("close-main-first")) {
        form1->mnuToolsOPtions_Click();
        QTimer::singleShot(300, [&] {
            form1->close();
            say("main window closed");
        });
        QTimer::singleShot(900, [&] {
            if (!watch && Form2::Instance() && Form2::Instance()->isVisible())
                say("options still open");
            Form2::Instance()->close();
        });
    } else {
        form1->mnuHelpAbout_Click();
        QTimer::singleShot(300, [&] {
            if (frmAbout::Instance() && frmAbout::Instance()->isVisible())
                say("about open");
            form1->mnuFileExit_Click();
        });
    }
    QTimer::singleShot(20000, [] { QCoreApplication::exit(3); });
    const int rc = QApplication::exec();
    say("program ended");
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (scenario != QLatin1String("close-main-first") &&
        std::none_of(windows.cbegin(), windows.cend(), [](QWidget *w) { return w->isVisible(); }))
        say("no window left");
    return rc;
}

int main(int argc, char *argv[])
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagecrier"));
    if (argc == 3 && qstrcmp(argv[1], "--lifetime") == 0) {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
        return lifetimeScenario(QString::fromLocal8Bit(argv[2]));
    }
    TestForm1 tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_form1.moc"
