#include "form1.h"
#include "indexnow_key.h"
#include "keys.h"
#include "local_server.h"
#include "msgbox.h"
#include "settings_store.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QWebEngineView>
#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

// The main window's newer commands and duties against a local server: Tools,
// Submit with IndexNow and Tools, IndexNow Key..., site fields holding texts
// of any length, and the pane's engine at start-up.
class TestWindowFeatures : public QObject
{
    Q_OBJECT
    QTemporaryDir home_;
    LocalServer server_;
    std::unique_ptr<Form1> form_;

    QWebEngineView *view() const { return form_->findChild<WebBrowser *>("WebBrowser1")->view(); }
    QLineEdit *field(const char *name) const { return form_->findChild<QLineEdit *>(name); }
    static QString stored(const QString &key)
    {
        return SettingsStore().ReadSetting(keys::kApp, keys::kSection, key, {});
    }
    static QString storedKey() { return stored(keys::kIndexNowKey); }
    void trigger(const char *action) { form_->findChild<QAction *>(action)->trigger(); }

private slots:
    void init()
    {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.filePath(u"config"_s)));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.filePath(u"data"_s)));
        QFile::remove(SettingsStore::DefaultPath());
        server_.clear();
        msgbox::seam::Enable();
        form_ = std::make_unique<Form1>();
        form_->setHosts(HostTable::AllAt(server_.host()));
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    }
    void cleanup()
    {
        delete IndexNowKeyDialog::Instance();
        form_.reset();
        msgbox::seam::TakeShown();
    }

    void answers_areExplainedInThePane_data()
    {
        QTest::addColumn<QString>("title"); // the row names the status line sent
        QTest::newRow("200 OK") << u"IndexNow: received"_s;
        QTest::newRow("202 Accepted") << u"IndexNow: received, key check pending"_s;
        QTest::newRow("400 Bad Request") << u"IndexNow: bad request"_s;
        QTest::newRow("403 Forbidden") << u"IndexNow: key not valid"_s;
        QTest::newRow("422 Unprocessable Entity") << u"IndexNow: address not on the key's host"_s;
        QTest::newRow("429 Too Many Requests") << u"IndexNow: too many requests"_s;
        QTest::newRow("500 Oops") << u"IndexNow: unexpected answer 500"_s;
        QTest::newRow("no answer") << u"IndexNow: no answer in 2 seconds"_s;
    }
    void answers_areExplainedInThePane()
    {
        const QByteArray tag = QTest::currentDataTag();
        server_.setStatus(u"/indexnow"_s, tag == "no answer" ? QByteArray() : tag);
        form_->setIndexNowTimeout(2000);
        field("url")->setText(u"http://example.com/a b?c=1&d#e\u00e9"_s);
        trigger("mnuToolsIndexNow");
        const QString sent = "GET /indexnow?url=http://example.com/a%20b?c%3D1%26d%23e%C3%A9&key=";
        QTRY_COMPARE(server_.requests(), QStringList{sent + storedKey() + " HTTP/1.1"});
        QFETCH(QString, title);
        QTRY_COMPARE(view()->title(), title);
        // Only the program's own page gets past the pane's confinement.
        QSignalSpy loads(view(), &QWebEngineView::loadFinished);
        form_->findChild<WebBrowser *>("WebBrowser1")->Navigate("data:text/html,<title>x</title>");
        QTRY_COMPARE(loads.size(), 1);
        QCOMPARE(view()->title(), title);
    }

    void emptyAddressOrBadKey_sendsNothing()
    {
        trigger("mnuToolsIndexNow"); // the address field is empty
        SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, "short");
        field("url")->setText(u"https://example.com/"_s);
        trigger("mnuToolsIndexNow");
        QCOMPARE(msgbox::seam::TakeShown().size(), 2);
        QCOMPARE(storedKey(), u"short"_s);
        QTest::qWait(300);
        QVERIFY(server_.requests().isEmpty());
    }

    void keyDialog_byKeyboard()
    {
        field("url")->setText(server_.url(u"/page.html"_s));
        QTest::keyClick(form_.get(), Qt::Key_T, Qt::AltModifier);
        auto *tools = form_->findChild<QMenu *>(u"mnuTools"_s);
        QTRY_VERIFY(tools->isVisible());
        QTest::keyClick(tools, Qt::Key_K);
        IndexNowKeyDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = IndexNowKeyDialog::Instance()) && dialog->isActiveWindow());
        for (QWidget *w : dialog->findChildren<QWidget *>()) // named for screen readers
            QVERIFY(!w->focusPolicy() || !w->accessibleName().isEmpty());
        const QString key = storedKey();
        QStringList texts;
        for (const char *name : {"txtKey", "txtFileName", "txtContent", "txtAddress"})
            texts << dialog->findChild<QLineEdit *>(name)->text();
        QCOMPARE(texts, QStringList({key, key + ".txt", key, server_.url("/" + key + ".txt")}));
        // A button's access letter clicks it a moment later.
        QTest::keyClick(dialog, Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), key);
        QTest::keyClick(dialog, Qt::Key_V, Qt::AltModifier);
        QTRY_COMPARE(server_.requests(), QStringList{"GET /" + key + ".txt HTTP/1.1"});
        QTest::keyClick(dialog, Qt::Key_M, Qt::AltModifier); // the seam answers Yes
        QTRY_COMPARE(msgbox::seam::ShownSoFar().size(), 1);  // having asked
        QTRY_VERIFY(storedKey() != key);
        QCOMPARE(dialog->findChild<QLineEdit *>("txtKey")->text(), storedKey());
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!IndexNowKeyDialog::Instance());
    }

    // The fields hold any length typed, saved or stored; Save is one change
    // of the store, so a set too large for it leaves the stored set whole.
    void favorites_anyLengthAndSavedWhole()
    {
        // 40,000 characters, a pair of surrogates across the old 32,767 cut.
        const QString text = QString(32766, 'a') + u"\U0001F600"_s + QString(7232, 'b');
        const QStringList set = {text, u"n"_s, u"m"_s};
        field("url")->setText(text);
        field("name1")->setText(set[1]);
        field("mail")->setText(set[2]);
        trigger("mnuFileSave");
        SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kStartup, u"1"_s);
        QCOMPARE(Form1().findChild<QLineEdit *>("url")->text(), text);
        for (const char *name : {"url", "name1", "mail"})
            field(name)->setText(QString(SettingsStore::kMaxFileSize / 3 + 1, 'x'));
        trigger("mnuFileSave");
        QCOMPARE(QStringList({stored(keys::kUrl), stored(keys::kName), stored(keys::kMail)}), set);
    }

    // An engine button pressed as soon as the main window shows still sends
    // its request, and a run that loads a page leaves nothing of the pane in
    // the home folder. Both are seen from outside, in a run of this program
    // with a scratch HOME (on an X server when Xvfb is there to start, since
    // that is where OpenGL could be set up).
    void pressAtShowIsSentAndHomeStaysClean()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            env.remove(QString::fromLatin1(name));
        env.insert(u"HOME"_s, home.path());
        env.insert(u"PAGECRIER_TEST_RUN"_s, u"1"_s);
        // The program's own choice of rendering, not the test suite's.
        env.insert(u"QTWEBENGINE_CHROMIUM_FLAGS"_s,
                   u"--disable-background-networking --disable-component-update"_s);
        QProcess xvfb;
        const QString xvfbPath = QStandardPaths::findExecutable(u"Xvfb"_s);
        if (!xvfbPath.isEmpty()) {
            xvfb.start(xvfbPath, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s});
            QTRY_VERIFY(xvfb.canReadLine());
            env.insert(u"DISPLAY"_s, ':' + xvfb.readLine().trimmed());
            env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        }
        QProcess run;
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        run.start(QCoreApplication::applicationFilePath());
        QVERIFY(run.waitForFinished(120000));
        xvfb.terminate();
        xvfb.waitForFinished();
        QCOMPARE(run.exitCode(), 0);
        QVERIFY2(run.readAllStandardOutput().contains("GET /addurl"), "no request line");

        const QRegularExpression allowed(u"^\\.(config|local(/share)?)$|"
                                         "^\\.(config|local/share)/pagecrier(/.*)?$"_s);
        QDirIterator it(home.path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QDir(home.path()).relativeFilePath(it.next());
            QVERIFY2(allowed.match(path).hasMatch(), qPrintable(path + " was left in HOME"));
        }
    }
};

// The run seen from outside: the main window against a local server, an
// engine button pressed right after show(); prints the request lines the
// server saw once the answer page has loaded, and ends as the program does.
static int RunWithPressAtShow()
{
    LocalServer server;
    Form1 form;
    form.setHosts(HostTable::AllAt(server.host()));
    form.show();
    form.findChild<QPushButton *>(u"Command1"_s)->click();
    auto *pane = form.findChild<WebBrowser *>(u"WebBrowser1"_s);
    if (!QTest::qWaitFor([&] { return pane->view() && pane->view()->title() == u"Answer 1"; },
                         60000))
        return 1;
    std::puts(qPrintable(server.requests().join('\n')));
    return 0;
}

int main(int argc, char *argv[])
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Pagecrier"_s);
    if (qEnvironmentVariableIsSet("PAGECRIER_TEST_RUN"))
        return RunWithPressAtShow();
    TestWindowFeatures test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_features.moc"
