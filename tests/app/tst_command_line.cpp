#include "command_line.h"
#include "keys.h"
#include "local_server.h"
#include "settings_store.h"

#include <QJsonDocument>
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
        SettingsStore(home_.filePath(u"config/pagecrier/pagecrier.ini"_s))
            .WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowKey, key_);
    }

    void decides_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<bool>("commandLine");
        QTest::newRow("none: the window") << "" << false;
        QTest::newRow("Qt's, one dash") << "-platform offscreen -style=fusion -reverse" << false;
        QTest::newRow("Qt's, two dashes")
            << "--platform offscreen --style fusion --reverse" << false;
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
        QList<QByteArray> words{"pagecrier"};
        for (const QString &word : arguments.split(u' ', Qt::SkipEmptyParts))
            words << word.toLatin1();
        QList<char *> argv;
        for (QByteArray &word : words)
            argv << word.data();
        QCOMPARE(commandline::IsCommandLineRun(int(argv.size()), argv.data()), commandLine);
    }

    void runs_data()
    {
        QTest::addColumn<QString>("arguments");   // %S: the server, %F: the site map file
        QTest::addColumn<QStringList>("answers"); // "<path>|<status line>[|<header>]"
        QTest::addColumn<int>("status");          // -1: the window keeps running
        QTest::addColumn<QStringList>("out");     // %K: the key
        QTest::addColumn<QStringList>("arrived"); // request lines, without the query
        const QStringList none;
        const QString post = u"POST /indexnow HTTP/1.1"_s;
        QTest::newRow("key") << "--key %S/page" << none << 0
                             << QStringList{"Key: %K", "File name: %K.txt", "File content: %K",
                                            "Address: %S/%K.txt"}
                             << none;
        QTest::newRow("one address: GET")
            << "--indexnow %S/a" << none << 0 << QStringList{"200 received: %S/a"}
            << QStringList{"GET /indexnow HTTP/1.1"};
        QTest::newRow("two on one host: one POST")
            << "--indexnow=%S/a %S/b" << QStringList{"/indexnow|202 Accepted"} << 0
            << QStringList{"202 received, key check pending: 2 addresses for 127.0.0.1"}
            << QStringList{post};
        QTest::newRow("site map, dry run")
            << "--dry-run --sitemap %F --exclude */c" << none << 0
            << QStringList{"%S/a", "%S/b",
                           "dry run: 2 addresses for 127.0.0.1 in 1 batch to %S/indexnow, "
                           "nothing sent"}
            << none;
        QTest::newRow("site map: key file checked, then sent")
            << "--sitemap file://%F" << none << 0
            << QStringList{"key file passed: %S/%K.txt", "200 received: 3 addresses for 127.0.0.1"}
            << QStringList{"GET /%K.txt HTTP/1.1", post};
        QTest::newRow("site map, key file missing: 5")
            << "--sitemap %F" << QStringList{"/%K.txt|404 Not Found"} << 5
            << QStringList{"key file not found: %S/%K.txt"} << QStringList{"GET /%K.txt HTTP/1.1"};
        QTest::newRow("403: 1") << "--indexnow %S/a %S/b" << QStringList{"/indexnow|403 Forbidden"}
                                << 1 << QStringList{"403 key not valid: 2 addresses for 127.0.0.1"}
                                << QStringList{post};
        QTest::newRow("429, back in an hour: 4")
            << "--indexnow %S/a %S/b" << QStringList{"/indexnow|429 Too Many|Retry-After: 3600"}
            << 4 << QStringList{"429 too many requests: 2 addresses for 127.0.0.1"}
            << QStringList{post};
        QTest::newRow("hang-up: 3")
            << "--indexnow %S/a" << QStringList{"/indexnow|hang up"} << 3
            << QStringList{"000 no answer: %S/a"} << QStringList{"GET /indexnow HTTP/1.1"};
        for (const char *bad : {"--indexnow", "--indexnow ftp://127.0.0.1/a", "--bogus",
                                "--indexnow %S/a --sitemap %F", "--changed-only --indexnow %S/a",
                                "--sitemap %F.gone", "--endpoint nowhere --indexnow %S/a"})
            QTest::newRow(bad) << QString::fromLatin1(bad) << none << 2 << none << none;
        QTest::newRow("Qt's option: the window")
            << "-platform offscreen" << none << -1 << none << none;
    }
    void runs()
    {
        QFETCH(QString, arguments);
        QFETCH(QStringList, answers);
        QFETCH(int, status);
        QFETCH(QStringList, out);
        QFETCH(QStringList, arrived);
        LocalServer server;
        const auto fill = [&](QString text) {
            return text.replace(u"%S"_s, server.url({}))
                .replace(u"%F"_s, home_.filePath(u"sitemap.xml"_s))
                .replace(u"%K"_s, key_);
        };
        QFile map(home_.filePath(u"sitemap.xml"_s));
        QVERIFY(map.open(QIODevice::WriteOnly | QIODevice::Truncate));
        map.write(fill(u"<urlset xmlns='http://www.sitemaps.org/schemas/sitemap/0.9'><url><loc>"
                       "%S/a</loc></url><url><loc>%S/b</loc></url><url><loc>%S/c</loc></url>"
                       "<url><loc>http://example.com/d</loc></url></urlset>"_s)
                      .toUtf8());
        map.close();
        server.setPage(u"/"_s + key_ + u".txt"_s, key_.toUtf8());
        server.setHeaders(u"/"_s + key_ + u".txt"_s, {"Content-Type: text/plain"});
        for (const QString &answer : answers) {
            const QStringList parts = answer.split(u'|');
            server.setStatus(fill(parts[0]), parts[1].toLatin1());
            if (parts.size() > 2)
                server.setHeaders(fill(parts[0]), {parts[2].toLatin1()});
        }

        QProcessEnvironment env; // no DISPLAY, no WAYLAND_DISPLAY, no QT_QPA_PLATFORM
        env.insert(u"HOME"_s, home_.path());
        env.insert(u"XDG_CONFIG_HOME"_s, home_.filePath(u"config"_s));
        env.insert(u"XDG_DATA_HOME"_s, home_.filePath(u"data"_s));
        // The libraries the program loads, listed by the dynamic loader.
        const QString loaded = home_.filePath(u"loaded"_s);
        if (status >= 0) {
            env.insert(u"LD_DEBUG"_s, u"files"_s);
            env.insert(u"LD_DEBUG_OUTPUT"_s, loaded);
        }
        QStringList args = arguments.split(u' ', Qt::SkipEmptyParts);
        for (QString &arg : args)
            arg = fill(arg);
        const bool sends =
            arguments.contains(u"--indexnow"_s) || arguments.contains(u"--sitemap"_s);
        if (sends && !arguments.contains(u"--endpoint"_s))
            args = QStringList{u"--endpoint"_s, server.url({})} + args;
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(QStringLiteral(PAGECRIER_PROGRAM), args);
        QVERIFY(run.waitForStarted());
        const qint64 pid = run.processId();
        if (status < 0) {
            // The window starts and keeps running, with no word of the
            // command line.
            QVERIFY(!run.waitForFinished(3000));
            QVERIFY(!run.readAllStandardError().contains("--help"));
            run.kill();
            QVERIFY(run.waitForFinished());
            return;
        }
        QSignalSpy finished(&run, &QProcess::finished);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        const QByteArray problems = run.readAllStandardError();
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == status,
                 problems.constData());
        QStringList lines = QString::fromUtf8(run.readAllStandardOutput()).split(u'\n');
        QCOMPARE(lines.takeLast(), QString());
        for (QString &line : out)
            line = fill(line);
        QCOMPARE(lines, out);
        QStringList requests = server.requests();
        for (QString &request : requests)
            request.remove(QRegularExpression(u"\\?\\S*"_s));
        // Qt Network tries a GET once more on a connection closed unanswered.
        requests.removeDuplicates();
        for (QString &line : arrived)
            line = fill(line);
        QCOMPARE(requests, arrived);
        if (arguments.startsWith(u"--indexnow="_s)) // the exact body of the batch
            QCOMPARE(QJsonDocument::fromJson(server.bodies().value(0)),
                     QJsonDocument::fromJson(fill(u"{\"host\": \"127.0.0.1\", \"key\": \"%K\", "
                                                  "\"keyLocation\": \"%S/%K.txt\", "
                                                  "\"urlList\": [\"%S/a\", \"%S/b\"]}"_s)
                                                 .toUtf8()));

        // No web engine, and Qt Network only once a request is made.
        QFile list(loaded + u'.' + QString::number(pid));
        QVERIFY(list.open(QIODevice::ReadOnly));
        const QByteArray libraries = list.readAll();
        list.remove();
        QVERIFY(libraries.contains("libQt6Core"));
        QVERIFY(!libraries.contains("libQt6WebEngine"));
        QCOMPARE(libraries.contains("libQt6Network"), !requests.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
