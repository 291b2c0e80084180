#include "addresses.h"
#include "command_line.h"
#include "keys.h"
#include "local_server.h"
#include "settings_store.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

// The command line through the real program, with no display, a scratch
// HOME and a local server as the endpoint and the site. Its rules (site
// maps, batches, answers) are tested in tests/indexnow.
class TestCommandLine : public QObject
{
    Q_OBJECT
    QTemporaryDir home_;
    const QString key_ = u"cli-test-key-0123"_s;

private slots:
    void initTestCase()
    {
        SettingsStore(home_.filePath(u".config/pagecrier/pagecrier.ini"_s))
            .WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, key_);
    }

    // Whether the program takes its arguments as a command line, or shows its
    // window (started as the user starts it in tst_form1).
    void decides_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("Qt's, one or two dashes")
            << "-platform offscreen -style=fusion --reverse --style fusion" << false;
        QTest::newRow("Qt's, then one of ours") << "-platform offscreen --key" << true;
        QTest::newRow("with a value after =") << "--sitemap=x" << true;
        QTest::newRow("short") << "-h" << true;
        QTest::newRow("unknown, two dashes") << "--bogus" << true;
        QTest::newRow("the web engine's") << "--webEngineArgs --key" << false;
    }
    void decides()
    {
        QFETCH(QString, arguments);
        QFETCH(bool, commandLine);
        QList<QByteArray> words = (u"pagecrier "_s + arguments).toLatin1().split(' ');
        QList<char *> argv;
        for (QByteArray &word : words)
            argv << word.data();
        QCOMPARE(commandline::IsCommandLineRun(int(argv.size()), argv.data()), commandLine);
    }

    void runs_data()
    {
        QTest::addColumn<QString>("arguments"); // %S: the server, %F: the site map file
        QTest::addColumn<QString>("answer");    // "<path>|<status line>[|<header>]"
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("out");     // %K: the key
        QTest::addColumn<QStringList>("arrived"); // request lines, without the query
        const auto row = [](const char *name, const char *arguments, const char *answer, int status,
                            const QStringList &out, const QStringList &arrived) {
            QTest::newRow(name) << QString(arguments) << QString(answer) << status << out
                                << arrived;
        };
        const QString get = u"GET /indexnow HTTP/1.1"_s, post = u"POST /indexnow HTTP/1.1"_s,
                      getKey = u"GET /%K.txt HTTP/1.1"_s;
        row("key", "--key %S/page", "", 0,
            {"Key: %K", "File name: %K.txt", "File content: %K", "Address: %S/%K.txt"}, {});
        row("one address: GET", "--indexnow %S/a", "", 0, {"200 received: %S/a"}, {get});
        row("two on one host: one POST", "--indexnow=%S/a %S/b", "/indexnow|202 Accepted", 0,
            {"202 received, key check pending: 2 addresses for 127.0.0.1"}, {post});
        row("site map, dry run", "--dry-run --sitemap %F --exclude */c", "", 0,
            {"%S/a", "%S/b",
             "dry run: 2 addresses for 127.0.0.1 in 1 batch to %S/indexnow, nothing sent"},
            {});
        row("site map: key file checked, then sent", "--sitemap file://%F", "", 0,
            {"key file passed: %S/%K.txt", "200 received: 3 addresses for 127.0.0.1"},
            {getKey, post});
        row("site map, key file missing: 5", "--sitemap %F", "/%K.txt|404 Not Found", 5,
            {"key file not found: %S/%K.txt"}, {getKey});
        row("403: 1", "--indexnow %S/a %S/b", "/indexnow|403 Forbidden", 1,
            {"403 key not valid: 2 addresses for 127.0.0.1"}, {post});
        row("429, back in an hour: 4", "--indexnow %S/a %S/b",
            "/indexnow|429 Too Many|Retry-After: 3600", 4,
            {"429 too many requests: 2 addresses for 127.0.0.1"}, {post});
        row("hang-up: 3", "--indexnow %S/a", "/indexnow|hang up", 3, {"000 no answer: %S/a"},
            {get});
        for (const char *bad : {"--indexnow", "--indexnow ftp://127.0.0.1/a", "--bogus",
                                "--indexnow %S/a --sitemap %F", "--changed-only --indexnow %S/a",
                                "--sitemap %F.gone", "--endpoint nowhere --indexnow %S/a"})
            row(bad, bad, "", 2, {}, {});
    }
    void runs()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, answer);
        QFETCH(int, status);
        QFETCH(QStringList, out);
        QFETCH(QStringList, arrived);
        LocalServer server;
        const auto fill = [&](QStringList texts) {
            return texts.replaceInStrings(u"%S"_s, server.url({}))
                .replaceInStrings(u"%F"_s, home_.filePath(u"sitemap.txt"_s))
                .replaceInStrings(u"%K"_s, key_);
        };
        // A site map of four addresses, three of them on the server's host.
        QFile map(home_.filePath(u"sitemap.txt"_s));
        const QString locs = u"%S/a\n%S/b\n%S/c\nhttp://example.com/d\n"_s;
        QVERIFY(map.open(QIODevice::WriteOnly) && map.write(fill({locs})[0].toUtf8()) > 0);
        map.close();
        server.setPage(u"/"_s + key_ + u".txt"_s, key_.toUtf8());
        server.setHeaders(u"/"_s + key_ + u".txt"_s, {"Content-Type: text/plain"});
        if (const QStringList parts = fill(answer.split(u'|')); !answer.isEmpty()) {
            server.setStatus(parts[0], parts[1].toLatin1());
            if (parts.size() > 2)
                server.setHeaders(parts[0], {parts[2].toLatin1()});
        }

        QProcessEnvironment env; // no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM
        env.insert(u"HOME"_s, home_.path());
        // The libraries the program loads, listed by the dynamic loader.
        env.insert(u"LD_DEBUG"_s, u"files"_s);
        env.insert(u"LD_DEBUG_OUTPUT"_s, home_.filePath(u"loaded"_s));
        QStringList args = fill(arguments.split(u' ', Qt::SkipEmptyParts));
        if (!arguments.contains(u"--endpoint"_s) &&
            arguments.contains(QRegularExpression(u"--(indexnow|sitemap)"_s)))
            args = QStringList{u"--endpoint"_s, server.url({})} + args;
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(PAGECRIER_PROGRAM), args);
        QVERIFY(run.waitForStarted());
        const qint64 pid = run.processId();
        QTRY_VERIFY_WITH_TIMEOUT(run.state() == QProcess::NotRunning, 30000);
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == status,
                 run.readAllStandardError().constData());
        // Each line ends in a line end.
        QCOMPARE(QString::fromUtf8(run.readAllStandardOutput()).split(u'\n'), fill(out << ""));
        QStringList requests =
            server.requests().replaceInStrings(QRegularExpression(u"\\?\\S*"_s), QString());
        // Qt Network tries a GET once more on a connection closed unanswered.
        requests.removeDuplicates();
        QCOMPARE(requests, fill(arrived));
        if (arguments.startsWith(u"--indexnow="_s)) // the batch, as BatchBody makes it
            QCOMPARE(server.bodies().value(0),
                     indexnow::BatchBody(u"127.0.0.1"_s, key_, fill({u"%S/%K.txt"_s})[0],
                                         fill({u"%S/a"_s, u"%S/b"_s})));

        // No web engine, and Qt Network only once a request is made.
        QFile list(home_.filePath(u"loaded.%1"_s.arg(pid)));
        QVERIFY(list.open(QIODevice::ReadOnly));
        const QByteArray libraries = list.readAll();
        QVERIFY(libraries.contains("libQt6Core") && !libraries.contains("libQt6WebEngine"));
        QCOMPARE(libraries.contains("libQt6Network"), !requests.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
