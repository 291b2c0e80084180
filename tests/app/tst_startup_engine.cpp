#include "form1.h"
#include "local_server.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QApplication>
#include <QDirIterator>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

// The pane's engine at start-up: an engine button pressed as soon as the main
// window shows still sends its request, and a run that loads a page leaves
// nothing of the pane in the home folder. Both are seen from outside, in a
// run of this program with a scratch HOME (on an X server when Xvfb is there
// to start, since that is where OpenGL could be set up).
class TestStartupEngine : public QObject
{
    Q_OBJECT

private slots:
    void pressAtShowIsSentAndHomeStaysClean()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            env.remove(QLatin1String(name));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("PAGECRIER_TEST_RUN"), QStringLiteral("1"));
        // The program's own choice of rendering, not the test suite's.
        env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"),
                   QStringLiteral("--disable-background-networking --disable-component-update"));
        QProcess xvfb;
        const QString xvfbPath = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (!xvfbPath.isEmpty()) {
            xvfb.start(xvfbPath, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                  QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            QTRY_VERIFY(xvfb.canReadLine());
            env.insert(QStringLiteral("DISPLAY"), QLatin1Char(':') + xvfb.readLine().trimmed());
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
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

        QStringList unexpected;
        const QRegularExpression allowed(
            QStringLiteral("^(\\.config|\\.local|\\.local/share|"
                           "\\.config/pagecrier(/.*)?|\\.local/share/pagecrier(/.*)?)$"));
        QDirIterator it(home.path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QDir(home.path()).relativeFilePath(it.next());
            if (!allowed.match(path).hasMatch())
                unexpected << path;
        }
        QCOMPARE(unexpected, QStringList());
    }
};

// The run seen from outside: the main window against a local server, an
// engine button pressed right after show(); prints the request lines the
// server saw once the answer page has loaded, and ends as the program does.
static int RunWithPressAtShow()
{
    LocalServer server;
    auto *form = new Form1;
    form->setHosts(HostTable::AllAt(server.host()));
    form->show();
    form->findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    auto *pane = form->findChild<WebBrowser *>(QStringLiteral("WebBrowser1"));
    if (!QTest::qWaitFor(
            [&] {
                return pane->view() && pane->viewWidget()->property("title").toString() ==
                                           QLatin1String("Answer 1");
            },
            60000))
        return 1;
    std::puts(qPrintable(server.requests().join(QLatin1Char('\n'))));
    delete form;
    return 0;
}

int main(int argc, char *argv[])
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagecrier"));
    if (qEnvironmentVariableIsSet("PAGECRIER_TEST_RUN"))
        return RunWithPressAtShow();
    TestStartupEngine test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup_engine.moc"
