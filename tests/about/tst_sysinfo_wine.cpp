// The system information launcher with the Windows registry backend,
// cross-compiled and run under Wine: the driver stores values and runs
// GetKeyValue or StartSysInfo on them.

#include "getkeyvalue_rows.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

class TestSysInfoWine : public QObject
{
    Q_OBJECT

    QTemporaryDir prefix_;
    QProcessEnvironment env_ = QProcessEnvironment::systemEnvironment();
    const QString kKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");

    // The lines the program wrote; "exit <n>" when it failed.
    QStringList Run(const QStringList &args, const char *program = "wine")
    {
        QProcess process;
        process.setProcessEnvironment(env_);
        process.start(QStandardPaths::findExecutable(QString::fromLatin1(program)), args);
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
        env_.remove(QStringLiteral("DISPLAY"));
        env_.remove(QStringLiteral("WAYLAND_DISPLAY"));
        for (const QString &setting :
             {"WINEPREFIX=" + prefix_.filePath("wine"), "HOME=" + prefix_.path(),
              "XDG_CONFIG_HOME=" + prefix_.path(), "XDG_DATA_HOME=" + prefix_.path(),
              "XDG_CACHE_HOME=" + prefix_.path(), QStringLiteral("WINEDEBUG=-all"),
              QStringLiteral("WINEARCH=win64"), QStringLiteral("LC_ALL=C"),
              QStringLiteral("WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d")})
            env_.insert(setting.section('=', 0, 0), setting.section('=', 1));
        QCOMPARE(Run({"wineboot", "--init"}).filter("exit "), QStringList());
        Run({"-p"}, "wineserver"); // one server for the whole test
    }

    void cleanupTestCase() { Run({"-k"}, "wineserver"); }

    void init() { Run({"reg", "delete", "HKLM\\" + kKey, "/f"}); }

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

    void startSysInfo_valueNamingNoProgram_showsTheMessage()
    {
        QCOMPARE(Run({"reg", "add", "HKLM\\" + kKey, "/v", "PATH", "/d", "", "/f"}).filter("exit "),
                 QStringList());
        QCOMPARE(
            Driver({"start"}),
            QStringList({"message=System Information Is Unavailable At This Time", "returned"}));
    }
};

QTEST_GUILESS_MAIN(TestSysInfoWine)
#include "tst_sysinfo_wine.moc"
