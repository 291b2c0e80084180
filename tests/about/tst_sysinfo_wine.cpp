// The system information launcher with the Windows registry backend,
// cross-compiled and run under Wine, in a prefix of its own.

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestSysInfoWine : public QObject
{
    Q_OBJECT

private slots:
    void storedValueRead_programThatIsNotThereShowsTheMessage()
    {
        const QString wine = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (QStringLiteral(PAGECRIER_WINE_DRIVER).isEmpty() || wine.isEmpty())
            QSKIP("mingw-w64 or Wine is missing (scripts/deps.sh --test installs them).");
        // A home of its own, no display, no desktop integration.
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            env.insert(QString::fromLatin1(name), home.path());
        env.insert(QStringLiteral("WINEPREFIX"), home.filePath(QStringLiteral("wine")));
        env.insert(QStringLiteral("WINEDLLOVERRIDES"),
                   QStringLiteral("mscoree,mshtml=;winemenubuilder.exe=d"));
        QProcess process;
        process.setProcessEnvironment(env);
        const QString tool = QStringLiteral("C:\\Nowhere\\Sys Info.exe");
        process.start(wine, {"reg", "add", "HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "/v",
                             "PATH", "/d", tool, "/f"});
        QVERIFY(process.waitForFinished(600000) && process.exitCode() == 0);
        process.start(wine, {QStringLiteral(PAGECRIER_WINE_DRIVER)});
        QVERIFY(process.waitForFinished(600000));
        const QString got = QString::fromLocal8Bit(process.readAllStandardOutput()).remove('\r');
        process.start(QStandardPaths::findExecutable(QStringLiteral("wineserver")), {"-k"});
        process.waitForFinished();
        QCOMPARE(got, "1 " + QString::number(tool.size()) + ' ' + tool +
                          "\nSystem Information Is Unavailable At This Time\n0\n");
    }
};

QTEST_GUILESS_MAIN(TestSysInfoWine)
#include "tst_sysinfo_wine.moc"
