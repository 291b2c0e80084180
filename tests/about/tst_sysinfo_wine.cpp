// The system information launcher with the Windows registry backend,
// cross-compiled and run under Wine, in a prefix of its own.

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestSysInfoWine : public QObject
{
    Q_OBJECT

    QTemporaryDir home_;

    // The lines the program wrote; "exit <n>" when it failed.
    QStringList Run(const char *program, const QStringList &args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            env.insert(QString::fromLatin1(name), home_.path());
        env.insert(QStringLiteral("WINEPREFIX"), home_.filePath(QStringLiteral("wine")));
        env.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
        env.insert(QStringLiteral("WINEDLLOVERRIDES"),
                   QStringLiteral("mscoree,mshtml=;winemenubuilder.exe=d"));
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStandardPaths::findExecutable(QString::fromLatin1(program)), args);
        if (!process.waitForFinished(600000) || process.exitCode() != 0)
            return {QStringLiteral("exit %1").arg(process.exitCode())};
        return QString::fromLocal8Bit(process.readAllStandardOutput())
            .remove('\r')
            .split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void registryValueRead_programThatIsNotThereShowsTheMessage()
    {
        if (QStringLiteral(PAGECRIER_WINE_DRIVER).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("wine")).isEmpty())
            QSKIP("mingw-w64 or Wine is missing (scripts/deps.sh --test installs them).");
        const QString tool = QStringLiteral("C:\\Nowhere\\Sys Info.exe");
        const QStringList set =
            Run("wine", {"reg", "add", "HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "/v",
                         "PATH", "/d", tool, "/f"});
        const QStringList got = Run("wine", {QStringLiteral(PAGECRIER_WINE_DRIVER)});
        Run("wineserver", {"-k"});
        QCOMPARE(set.filter("exit "), QStringList());
        QCOMPARE(got, QStringList({"1 " + QString::number(tool.size()) + ' ' + tool,
                                   "System Information Is Unavailable At This Time"}));
    }
};

QTEST_GUILESS_MAIN(TestSysInfoWine)
#include "tst_sysinfo_wine.moc"
