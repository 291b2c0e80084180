// The system information launcher with the Windows registry backend,
// cross-compiled and run under Wine: the driver stores values, runs
// GetKeyValue or StartSysInfo on them, and stands in for the tool.

#include "getkeyvalue_rows.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

class TestSysInfoWine : public QObject
{
    Q_OBJECT

    QTemporaryDir prefix_;
    QProcessEnvironment env_;
    const QString kKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
    const QString kFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

    // Standard output's lines; "exit <n>" when the program failed.
    QStringList Run(const QStringList &args, const QString &program = QStringLiteral("wine"))
    {
        QProcess process;
        process.setProcessEnvironment(env_);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start(QStandardPaths::findExecutable(program), args);
        if (!process.waitForFinished(600000) || process.exitCode() != 0)
            return {QStringLiteral("exit %1").arg(process.exitCode())};
        return QString::fromLocal8Bit(process.readAllStandardOutput())
            .remove('\r')
            .split('\n', Qt::SkipEmptyParts);
    }
    QStringList Driver(const QStringList &args)
    {
        return Run(QStringList{QStringLiteral(PAGECRIER_WINE_DRIVER)} + args);
    }

private slots:
    void initTestCase()
    {
        if (QStringLiteral(PAGECRIER_WINE_DRIVER).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty())
            QSKIP("mingw-w64 or Wine is missing (scripts/deps.sh --test installs them).");
        // A prefix and home of our own, no display, no desktop integration,
        // the Western code page.
        env_ = QProcessEnvironment::systemEnvironment();
        env_.remove(QStringLiteral("DISPLAY"));
        env_.remove(QStringLiteral("WAYLAND_DISPLAY"));
        const QString home = prefix_.filePath(QStringLiteral("home"));
        const QStringList settings = {"WINEPREFIX=" + prefix_.filePath(QStringLiteral("prefix")),
                                      "WINEDEBUG=-all",
                                      "WINEARCH=win64",
                                      "LC_ALL=C",
                                      "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d",
                                      "HOME=" + home,
                                      "XDG_CONFIG_HOME=" + home + "/.config",
                                      "XDG_DATA_HOME=" + home + "/.data",
                                      "XDG_CACHE_HOME=" + home + "/.cache"};
        for (const QString &setting : settings)
            env_.insert(setting.section('=', 0, 0), setting.section('=', 1));
        QVERIFY(QDir().mkpath(home));
        QCOMPARE(Run({QStringLiteral("wineboot"), QStringLiteral("--init")}).filter("exit "),
                 QStringList());
        Run({QStringLiteral("-p")}, QStringLiteral("wineserver")); // one server for all
    }

    void cleanupTestCase() { Run({QStringLiteral("-k")}, QStringLiteral("wineserver")); }

    void init()
    {
        for (const QString &key : {kKey, kFolderKey})
            Run({"reg", "delete", "HKLM\\" + key, "/f"});
    }

    void getKeyValue_data() { AddGetKeyValueRows(); }
    void getKeyValue()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, result);
        QFETCH(QByteArray, keyVal);
        if (type != kKeyMissing)
            QCOMPARE(Driver({"setraw", kKey, type == kValueMissing ? "Other" : "PATH",
                             QString::number(type == kValueMissing ? sysinfo::kRegSz : type),
                             QString::fromLatin1(bytes.toHex())}),
                     QStringList());
        QCOMPARE(
            Driver({"get", kKey, "PATH"}),
            QStringList({"result=" + result, "keyval=" + QString::fromLatin1(keyVal.toHex())}));
    }

    void startSysInfo_data()
    {
        // The tool's value (its type, then its text) or the tool folder's
        // value ("folder:"); the tool that starts, none: the message shown.
        QTest::addColumn<QStringList>("value");
        QTest::addColumn<QString>("started");
        QTest::newRow("tool's value")
            << QStringList({"REG_SZ", "<d>\\a b\\sys info.exe"}) << "<d>\\a b\\sys info.exe";
        QTest::newRow("tool's value empty") << QStringList({"REG_SZ", ""}) << "";
        QTest::newRow("tool folder's value")
            << QStringList({"folder:", "<d>"}) << "<d>\\MSINFO32.EXE";
    }
    void startSysInfo()
    {
        QFETCH(QStringList, value);
        QFETCH(QString, started);
        QTemporaryDir dir;
        // The Windows names of the files here: Wine's drive Z: is the root.
        const QString windowsDir = "Z:" + QString(dir.path()).replace('/', '\\');
        value.replaceInStrings("<d>", windowsDir);
        started.replace("<d>", windowsDir);
        for (const QString &tool :
             {QStringLiteral("a b/sys info.exe"), QStringLiteral("MSINFO32.EXE")})
            QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(tool)).path()) &&
                    QFile::copy(QStringLiteral(PAGECRIER_WINE_DRIVER), dir.filePath(tool)));
        const bool folder = value[0] == "folder:";
        QCOMPARE(Run({"reg", "add", folder ? "HKLM\\" + kFolderKey : "HKLM\\" + kKey, "/v",
                      folder ? "MSINFO" : "PATH", "/t", folder ? "REG_SZ" : value[0], "/d",
                      value[1], "/f"})
                     .filter("exit "),
                 QStringList());

        QCOMPARE(Driver({QStringLiteral("start")}),
                 QStringList({"message=System Information Is Unavailable At This Time", "returned"})
                     .mid(started.isEmpty() ? 0 : 1));
        if (started.isEmpty())
            return;
        // Its quoted path is the whole command line, in a normal window.
        const QString ran = dir.path() + started.mid(windowsDir.size()).replace('\\', '/') + ".ran";
        const auto report = [&ran] {
            QFile file(ran);
            return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll())
                                                  : QString();
        };
        QTRY_COMPARE_WITH_TIMEOUT(report().remove('\r').toLower(),
                                  ('"' + started + "\"\nshow=1\n").toLower(), 60000);
    }
};

QTEST_GUILESS_MAIN(TestSysInfoWine)
#include "tst_sysinfo_wine.moc"
