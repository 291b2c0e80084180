// The system information launcher with the Windows registry backend,
// cross-compiled and run under Wine. Values are stored with Wine's own "reg"
// tool or, where the exact bytes matter, by the driver through
// RegSetValueExA; the driver runs GetKeyValue or StartSysInfo against them
// and a stand-in tool shows what was started.

#include "getkeyvalue_rows.h"
#include "waiting_tool.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <utility>

namespace {

using sysinfo::kRegSz;
const QString kToolKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QStringList kUnavailable{QString::fromLatin1(kUnavailableText)};

// The Windows name of a file here: Wine's drive Z: is the root folder.
QString WindowsPath(const QString &path)
{
    QString windows = QStringLiteral("Z:") + path;
    windows.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return windows;
}

struct Run
{
    int exitCode = -1;
    QStringList lines;
    // The texts of the lines "name=text".
    QStringList all(const QString &name) const
    {
        QStringList out;
        for (const QString &line : lines)
            if (line.startsWith(name + QLatin1Char('=')))
                out << line.mid(name.size() + 1);
        return out;
    }
};

} // namespace

class SysInfoWineTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir prefixDir_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString wine_;
    QString wineserver_;
    QProcessEnvironment env_;
    QString driver_;

    Run Exec(const QString &program, const QStringList &args, int timeoutMs = 120000)
    {
        QProcess process;
        process.setProcessEnvironment(env_);
        process.setProgram(program);
        process.setArguments(args);
        process.setStandardInputFile(QProcess::nullDevice());
        process.start();
        Run run;
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished();
            qWarning("%s %s did not finish", qPrintable(program), qPrintable(args.join(' ')));
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.lines = QString::fromLocal8Bit(process.readAllStandardOutput())
                        .remove(QLatin1Char('\r'))
                        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return run;
    }
    Run Wine(const QStringList &args) { return Exec(wine_, args); }
    Run Driver(const QStringList &args) { return Wine(QStringList{driver_} + args); }

    // Stores a value below HKEY_LOCAL_MACHINE with Wine's "reg" tool.
    bool Reg(const QString &key, const QString &value, const QString &data,
             const QString &type = QStringLiteral("REG_SZ"))
    {
        return Wine({QStringLiteral("reg"), QStringLiteral("add"), QStringLiteral("HKLM\\") + key,
                     QStringLiteral("/v"), value, QStringLiteral("/t"), type, QStringLiteral("/d"),
                     data, QStringLiteral("/f")})
                   .exitCode == 0;
    }
    // Stores exactly these bytes.
    bool SetRaw(const QString &key, const QString &value, int type, const QByteArray &bytes)
    {
        const Run run = Driver({QStringLiteral("setraw"), key, value, QString::number(type),
                                QString::fromLatin1(bytes.toHex())});
        return run.exitCode == 0 && run.lines.contains(QStringLiteral("stored"));
    }
    // Runs StartSysInfo; the messages it showed, or what went wrong when it
    // did not return.
    QStringList StartMessages()
    {
        const Run run = Driver({QStringLiteral("start")});
        if (run.exitCode != 0 || !run.lines.contains(QStringLiteral("returned")))
            return QStringList{QStringLiteral("exit code %1").arg(run.exitCode)} + run.lines;
        return run.all(QStringLiteral("message"));
    }

    // The stand-in tool copied to path.
    WaitingTool PlaceTool(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        QFile::copy(QStringLiteral(PAGECRIER_WINE_TOOL), path);
        return WaitingTool::At(path);
    }
    // A tool folder value that would start a tool if it were tried.
    bool AddWorkingSecondValue()
    {
        PlaceTool(dir_->filePath(QStringLiteral("other/MSINFO32.EXE")));
        return Reg(kFolderKey, QStringLiteral("MSINFO"),
                   WindowsPath(dir_->filePath(QStringLiteral("other"))));
    }

private slots:
    void initTestCase()
    {
        driver_ = QStringLiteral(PAGECRIER_WINE_DRIVER);
        if (driver_.isEmpty())
            QSKIP("The mingw-w64 cross compiler was not found when the build was configured "
                  "(scripts/deps.sh --test installs it).");
        QVERIFY2(QFile::exists(driver_), qPrintable(driver_));
        QVERIFY(QFile::exists(QStringLiteral(PAGECRIER_WINE_TOOL)));
        wine_ = QStandardPaths::findExecutable(QStringLiteral("wine"));
        if (wine_.isEmpty())
            QSKIP("Wine is not installed (scripts/deps.sh --test installs it).");
        wineserver_ = QStandardPaths::findExecutable(QStringLiteral("wineserver"));

        // A prefix and home of our own, no display, no prompts to install
        // extras, no menu entries or file associations for the desktop.
        QVERIFY(prefixDir_.isValid());
        const QString home = prefixDir_.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home));
        env_ = QProcessEnvironment::systemEnvironment();
        env_.remove(QStringLiteral("DISPLAY"));
        env_.remove(QStringLiteral("WAYLAND_DISPLAY"));
        const std::pair<const char *, QString> settings[] = {
            {"WINEPREFIX", prefixDir_.filePath(QStringLiteral("prefix"))},
            {"WINEDEBUG", QStringLiteral("-all")},
            {"WINEDLLOVERRIDES", QStringLiteral("mscoree,mshtml=;winemenubuilder.exe=d")},
            {"WINEARCH", QStringLiteral("win64")},
            // A fixed locale, so the ANSI code page is the Western one.
            {"LC_ALL", QStringLiteral("C")},
            {"HOME", home},
            {"XDG_CONFIG_HOME", home + QStringLiteral("/.config")},
            {"XDG_DATA_HOME", home + QStringLiteral("/.local/share")},
            {"XDG_CACHE_HOME", home + QStringLiteral("/.cache")},
        };
        for (const auto &[name, value] : settings)
            env_.insert(QString::fromLatin1(name), value);

        QCOMPARE(
            Exec(wine_, {QStringLiteral("wineboot"), QStringLiteral("--init")}, 600000).exitCode,
            0);
        // Keep one server running for the whole test instead of one per call.
        if (!wineserver_.isEmpty())
            Exec(wineserver_, {QStringLiteral("-p")});
    }

    void cleanupTestCase()
    {
        if (!wineserver_.isEmpty() && !env_.isEmpty())
            Exec(wineserver_, {QStringLiteral("-k")});
    }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        for (const QString &key : {kToolKey, kFolderKey})
            Wine({QStringLiteral("reg"), QStringLiteral("delete"), QStringLiteral("HKLM\\") + key,
                  QStringLiteral("/f")});
    }

    void cleanup()
    {
        WaitingTool::ReleaseAllIn(dir_->path());
        dir_.reset();
    }

    void getKeyValue_data() { AddGetKeyValueRows(); }
    void getKeyValue()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, result);
        QFETCH(QByteArray, keyVal);
        const QString value = QStringLiteral("PATH");
        if (type == kValueMissing)
            QVERIFY(SetRaw(kToolKey, QStringLiteral("Other"), kRegSz, QByteArray("x", 2)));
        else if (type != kKeyMissing)
            QVERIFY(SetRaw(kToolKey, value, type, bytes));

        const Run run =
            Driver({QStringLiteral("get"), kToolKey, value, QStringLiteral("as passed")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.all(QStringLiteral("result")), QStringList{result});
        QCOMPARE(run.all(QStringLiteral("keyval")),
                 QStringList{QString::fromLatin1(keyVal.toHex())});
    }

    // --- StartSysInfo on the Windows registry ---

    void firstValue_startsTheToolWithoutArguments_andDoesNotWait()
    {
        const WaitingTool tool = PlaceTool(dir_->filePath(QStringLiteral("tool dir/sys info.exe")));
        const QString windowsPath = WindowsPath(tool.path);
        QVERIFY(Reg(kToolKey, QStringLiteral("PATH"), windowsPath));
        QVERIFY(AddWorkingSecondValue());

        QCOMPARE(StartMessages(), QStringList());

        tool.ExpectStartedDetached(windowsPath, 60000, Qt::CaseInsensitive);
        if (QTest::currentTestFailed())
            return;
        // Its command line is its quoted path and nothing else, and it was
        // asked for a normal window (SW_SHOWNORMAL).
        QCOMPARE(tool.Report().value(3).toLower(),
                 (QLatin1Char('"') + windowsPath + QLatin1Char('"')).toLower());
        QCOMPARE(tool.Report().value(4), QStringLiteral("show=1"));
    }

    void firstValueUnusable_showsMessage_secondNotTried_data()
    {
        QTest::addColumn<QString>("type"); // empty: zero bytes stored
        QTest::addColumn<QString>("data"); // "<dir>" stands for the test's folder
        const QString text = QStringLiteral("REG_SZ");
        QTest::newRow("names a missing file") << text << QStringLiteral("<dir>\\no.exe");
        QTest::newRow("empty text") << text << QString();
        QTest::newRow("zero bytes") << QString() << QString();
        QTest::newRow("REG_EXPAND_SZ naming the tool")
            << QStringLiteral("REG_EXPAND_SZ") << QStringLiteral("<dir>\\tool.exe");
        QTest::newRow("REG_DWORD") << QStringLiteral("REG_DWORD") << QStringLiteral("7");
    }
    void firstValueUnusable_showsMessage_secondNotTried()
    {
        QFETCH(QString, type);
        QFETCH(QString, data);
        PlaceTool(dir_->filePath(QStringLiteral("tool.exe")));
        data.replace(QStringLiteral("<dir>"), WindowsPath(dir_->path()));
        const QString path = QStringLiteral("PATH");
        QVERIFY(type.isEmpty() ? SetRaw(kToolKey, path, kRegSz, QByteArray())
                               : Reg(kToolKey, path, data, type));
        QVERIFY(AddWorkingSecondValue());

        QCOMPARE(StartMessages(), kUnavailable);
    }

    void firstMissing_secondFolderHoldsTheTool_startsIt_data()
    {
        QTest::addColumn<bool>("firstTooLong");
        QTest::newRow("first value missing") << false;
        QTest::newRow("first value over 1024 bytes") << true;
    }
    void firstMissing_secondFolderHoldsTheTool_startsIt()
    {
        QFETCH(bool, firstTooLong);
        if (firstTooLong)
            QVERIFY(Reg(kToolKey, QStringLiteral("PATH"), QString(1500, QLatin1Char('x'))));
        const QString folder = dir_->filePath(QStringLiteral("Shared Tools/MSInfo"));
        const WaitingTool tool = PlaceTool(folder + QStringLiteral("/MSINFO32.EXE"));
        QVERIFY(Reg(kFolderKey, QStringLiteral("MSINFO"), WindowsPath(folder)));

        QCOMPARE(StartMessages(), QStringList());

        tool.ExpectStartedDetached(WindowsPath(folder) + QStringLiteral("\\MSINFO32.EXE"), 60000,
                                   Qt::CaseInsensitive);
    }

    void secondValueGivesNoTool_showsMessage_data()
    {
        QTest::addColumn<QString>("content");
        QTest::newRow("no second value") << "missing";
        QTest::newRow("empty folder") << "";
        QTest::newRow("a folder named like the tool") << "folder";
        QTest::newRow("the tool one folder down") << "deeper";
    }
    void secondValueGivesNoTool_showsMessage()
    {
        QFETCH(QString, content);
        const QString folder = dir_->filePath(QStringLiteral("tools"));
        QVERIFY(QDir().mkpath(folder));
        if (content == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/MSINFO32.EXE")));
        else if (content == QLatin1String("deeper"))
            PlaceTool(folder + QStringLiteral("/sub/MSINFO32.EXE"));
        if (content != QLatin1String("missing"))
            QVERIFY(Reg(kFolderKey, QStringLiteral("MSINFO"), WindowsPath(folder)));

        QCOMPARE(StartMessages(), kUnavailable);
    }
};

QTEST_GUILESS_MAIN(SysInfoWineTest)
#include "tst_sysinfo_wine.moc"
