// The system information launcher with the Windows registry backend,
// cross-compiled and run under Wine. Values are stored with Wine's own "reg"
// tool (and, where the exact bytes matter, by the driver through
// RegSetValueExA); the driver runs GetKeyValue or StartSysInfo against them
// and a stand-in tool shows what was started.

#include <QDirIterator>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#ifndef PAGECRIER_WINE_DRIVER
#define PAGECRIER_WINE_DRIVER ""
#endif
#ifndef PAGECRIER_WINE_TOOL
#define PAGECRIER_WINE_TOOL ""
#endif

namespace {

const QString kToolKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

QString Machine(const QString &key)
{
    return QStringLiteral("HKLM\\") + key;
}

// The Windows name of a file here: Wine's drive Z: is the root folder.
QString WindowsPath(const QString &path)
{
    QString windows = QStringLiteral("Z:") + path;
    windows.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return windows;
}

QString Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

struct Run
{
    int exitCode = -1;
    QStringList lines;
    QString value(const QString &name) const
    {
        for (const QString &line : lines)
            if (line.startsWith(name + QLatin1Char('=')))
                return line.mid(name.size() + 1);
        return QString();
    }
    QStringList all(const QString &name) const
    {
        QStringList out;
        for (const QString &line : lines)
            if (line.startsWith(name + QLatin1Char('=')))
                out << line.mid(name.size() + 1);
        return out;
    }
};

// The stand-in tool copied to a place of the test's choosing.
struct Tool
{
    QString path;
    bool HasRun() const { return QFile::exists(path + QStringLiteral(".ran")); }
    void Release() const
    {
        QFile go(path + QStringLiteral(".go"));
        if (go.open(QIODevice::WriteOnly))
            go.close();
    }
    QStringList Report() const
    {
        QFile file(path + QStringLiteral(".ran"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

} // namespace

class SysInfoWineTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir prefixDir_;
    QTemporaryDir *dir_ = nullptr;
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
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        for (QString line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            run.lines << line;
        }
        return run;
    }
    Run Wine(const QStringList &args) { return Exec(wine_, args); }
    Run Driver(const QStringList &args) { return Wine(QStringList{driver_} + args); }

    bool RegAdd(const QString &key, const QString &value, const QString &type, const QString *data)
    {
        QStringList args{QStringLiteral("reg"),
                         QStringLiteral("add"),
                         Machine(key),
                         QStringLiteral("/v"),
                         value,
                         QStringLiteral("/t"),
                         type};
        if (data)
            args << QStringLiteral("/d") << *data;
        args << QStringLiteral("/f");
        return Wine(args).exitCode == 0;
    }
    bool RegText(const QString &key, const QString &value, const QString &text)
    {
        return RegAdd(key, value, QStringLiteral("REG_SZ"), &text);
    }
    bool SetRaw(const QString &key, const QString &value, int type, const QByteArray &bytes)
    {
        const Run run =
            Driver({QStringLiteral("setraw"), key, value, QString::number(type), Hex(bytes)});
        return run.exitCode == 0 && run.lines.contains(QStringLiteral("stored"));
    }

    Tool PlaceTool(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        QFile::copy(QStringLiteral(PAGECRIER_WINE_TOOL), path);
        return Tool{path};
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

        // A prefix of our own, no display, no prompts to install extras.
        QVERIFY(prefixDir_.isValid());
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(QStringLiteral("WINEPREFIX"), prefixDir_.filePath(QStringLiteral("prefix")));
        env_.insert(QStringLiteral("WINEDEBUG"), QStringLiteral("-all"));
        // No menu entries or file associations for the user's desktop, and a
        // home of its own, so nothing outside the temporary folder changes.
        env_.insert(QStringLiteral("WINEDLLOVERRIDES"),
                    QStringLiteral("mscoree,mshtml=;winemenubuilder.exe=d"));
        const QString home = prefixDir_.filePath(QStringLiteral("home"));
        QVERIFY(QDir().mkpath(home));
        env_.insert(QStringLiteral("HOME"), home);
        env_.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        env_.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
        env_.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/.cache"));
        env_.insert(QStringLiteral("WINEARCH"), QStringLiteral("win64"));
        env_.remove(QStringLiteral("DISPLAY"));
        env_.remove(QStringLiteral("WAYLAND_DISPLAY"));

        const Run boot =
            Exec(wine_, {QStringLiteral("wineboot"), QStringLiteral("--init")}, 600000);
        QCOMPARE(boot.exitCode, 0);
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
        dir_ = new QTemporaryDir;
        QVERIFY(dir_->isValid());
        for (const QString &key : {kToolKey, kFolderKey}) {
            Wine({QStringLiteral("reg"), QStringLiteral("delete"), Machine(key),
                  QStringLiteral("/f")});
        }
    }

    void cleanup()
    {
        // Let any stand-in still waiting finish.
        QDirIterator it(dir_->path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (file.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive))
                Tool{file}.Release();
        }
        delete dir_;
    }

    // --- GetKeyValue on the Windows registry ---

    void getKeyValue_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QByteArray>("keyVal");

        QTest::newRow("text stored with its zero")
            << "reg:REG_SZ:C:\\Program Files\\Info\\info.exe"
            << "true" << QByteArray("C:\\Program Files\\Info\\info.exe");
        QTest::newRow("text stored without its zero")
            << "raw:1:C:\\Program Files\\Info\\info.exe"
            << "true" << QByteArray("C:\\Program Files\\Info\\info.exe");
        QTest::newRow("only one trailing zero dropped")
            << QStringLiteral("rawhex:1:") + Hex(QByteArray("abc\0\0", 5)) << "true"
            << QByteArray("abc\0", 4);
        QTest::newRow("empty text") << "reg:REG_SZ:"
                                    << "true" << QByteArray();
        QTest::newRow("value missing") << "other"
                                       << "false" << QByteArray();
        QTest::newRow("key missing") << ""
                                     << "false" << QByteArray();
        QTest::newRow("REG_DWORD") << "reg:REG_DWORD:0x1A2B"
                                   << "true" << QByteArray("&h1A2B");
        QTest::newRow("REG_EXPAND_SZ") << "reg:REG_EXPAND_SZ:%SystemRoot%\\system32\\msinfo32.exe"
                                       << "true" << QByteArray("as passed");
        QTest::newRow("REG_MULTI_SZ") << "reg:REG_MULTI_SZ:a\\0b"
                                      << "true" << QByteArray("as passed");
        QTest::newRow("1024 bytes with the zero")
            << QStringLiteral("reg:REG_SZ:") + QString(1023, QLatin1Char('x')) << "true"
            << QByteArray(1023, 'x');
        QTest::newRow("1025 bytes with the zero, counts as missing")
            << QStringLiteral("reg:REG_SZ:") + QString(1024, QLatin1Char('x')) << "false"
            << QByteArray();
        QTest::newRow("zero bytes of text fails") << "rawhex:1:"
                                                  << "failure" << QByteArray("as passed");
        QTest::newRow("zero bytes of binary fails") << "regnodata:REG_BINARY"
                                                    << "failure" << QByteArray("as passed");
    }
    void getKeyValue()
    {
        QFETCH(QString, setup);
        QFETCH(QString, result);
        QFETCH(QByteArray, keyVal);

        const QString value = QStringLiteral("PATH");
        if (setup == QLatin1String("other")) {
            QVERIFY(RegText(kToolKey, QStringLiteral("Other"), QStringLiteral("x")));
        } else if (setup.startsWith(QLatin1String("reg:"))) {
            const QString type = setup.section(QLatin1Char(':'), 1, 1);
            const QString data = setup.section(QLatin1Char(':'), 2);
            QVERIFY(RegAdd(kToolKey, value, type, &data));
        } else if (setup.startsWith(QLatin1String("regnodata:"))) {
            QVERIFY(RegAdd(kToolKey, value, setup.section(QLatin1Char(':'), 1), nullptr));
        } else if (setup.startsWith(QLatin1String("raw:"))) {
            QVERIFY(SetRaw(kToolKey, value, setup.section(QLatin1Char(':'), 1, 1).toInt(),
                           setup.section(QLatin1Char(':'), 2).toLocal8Bit()));
        } else if (setup.startsWith(QLatin1String("rawhex:"))) {
            QVERIFY(SetRaw(kToolKey, value, setup.section(QLatin1Char(':'), 1, 1).toInt(),
                           QByteArray::fromHex(setup.section(QLatin1Char(':'), 2).toLatin1())));
        }

        const Run run =
            Driver({QStringLiteral("get"), kToolKey, value, QStringLiteral("as passed")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.value(QStringLiteral("result")), result);
        QCOMPARE(run.value(QStringLiteral("keyval")), Hex(keyVal));
    }

    // --- StartSysInfo on the Windows registry ---

    void firstValue_startsTheToolWithoutArguments_andDoesNotWait()
    {
        const Tool tool = PlaceTool(dir_->filePath(QStringLiteral("tool dir/sys info.exe")));
        QVERIFY(RegText(kToolKey, QStringLiteral("PATH"), WindowsPath(tool.path)));
        const Tool other = PlaceTool(dir_->filePath(QStringLiteral("other/MSINFO32.EXE")));
        QVERIFY(RegText(kFolderKey, QStringLiteral("MSINFO"),
                        WindowsPath(dir_->filePath(QStringLiteral("other")))));

        const Run run = Driver({QStringLiteral("start")});

        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.lines.contains(QStringLiteral("returned")));
        QCOMPARE(run.all(QStringLiteral("message")), QStringList());
        QVERIFY(!tool.HasRun());
        tool.Release();
        QTRY_VERIFY_WITH_TIMEOUT(tool.HasRun(), 60000);
        const QStringList report = tool.Report();
        QCOMPARE(report.value(0), QStringLiteral("released"));
        QCOMPARE(report.value(1), QStringLiteral("0"));
        QCOMPARE(report.value(2).toLower(), WindowsPath(tool.path).toLower());
        // Its command line is its quoted path and nothing else, and it was
        // asked for a normal window (SW_SHOWNORMAL).
        QCOMPARE(report.value(3).toLower(),
                 (QLatin1Char('"') + WindowsPath(tool.path) + QLatin1Char('"')).toLower());
        QCOMPARE(report.value(4), QStringLiteral("show=1"));
    }

    void firstValueUnusable_showsMessage_secondNotTried_data()
    {
        QTest::addColumn<QString>("first");
        QTest::newRow("names a missing file") << "missing";
        QTest::newRow("empty text") << "empty";
        QTest::newRow("zero bytes") << "zero";
        QTest::newRow("REG_EXPAND_SZ naming the tool") << "expand";
        QTest::newRow("REG_DWORD") << "dword";
    }
    void firstValueUnusable_showsMessage_secondNotTried()
    {
        QFETCH(QString, first);
        const Tool tool = PlaceTool(dir_->filePath(QStringLiteral("tool.exe")));
        const QString path = QStringLiteral("PATH");
        if (first == QLatin1String("missing")) {
            QVERIFY(RegText(kToolKey, path, WindowsPath(dir_->filePath(QStringLiteral("no.exe")))));
        } else if (first == QLatin1String("empty")) {
            QVERIFY(RegText(kToolKey, path, QString()));
        } else if (first == QLatin1String("zero")) {
            QVERIFY(SetRaw(kToolKey, path, 1, QByteArray()));
        } else if (first == QLatin1String("expand")) {
            const QString data = WindowsPath(tool.path);
            QVERIFY(RegAdd(kToolKey, path, QStringLiteral("REG_EXPAND_SZ"), &data));
        } else {
            const QString data = QStringLiteral("7");
            QVERIFY(RegAdd(kToolKey, path, QStringLiteral("REG_DWORD"), &data));
        }
        // A second value that would work if it were tried.
        const Tool other = PlaceTool(dir_->filePath(QStringLiteral("other/MSINFO32.EXE")));
        QVERIFY(RegText(kFolderKey, QStringLiteral("MSINFO"),
                        WindowsPath(dir_->filePath(QStringLiteral("other")))));

        const Run run = Driver({QStringLiteral("start")});

        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.all(QStringLiteral("message")), QStringList{kUnavailable});
        QVERIFY(run.lines.contains(QStringLiteral("returned")));
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
            QVERIFY(RegText(kToolKey, QStringLiteral("PATH"), QString(1500, QLatin1Char('x'))));
        const QString folder = dir_->filePath(QStringLiteral("Shared Tools/MSInfo"));
        const Tool tool = PlaceTool(folder + QStringLiteral("/MSINFO32.EXE"));
        QVERIFY(RegText(kFolderKey, QStringLiteral("MSINFO"), WindowsPath(folder)));

        const Run run = Driver({QStringLiteral("start")});

        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.all(QStringLiteral("message")), QStringList());
        QVERIFY(!tool.HasRun());
        tool.Release();
        QTRY_VERIFY_WITH_TIMEOUT(tool.HasRun(), 60000);
        QCOMPARE(tool.Report().value(1), QStringLiteral("0"));
        QCOMPARE(tool.Report().value(2).toLower(),
                 (WindowsPath(folder) + QStringLiteral("\\MSINFO32.EXE")).toLower());
    }

    void secondFolderWithoutTheTool_showsMessage_nothingStarts_data()
    {
        QTest::addColumn<QString>("content");
        QTest::newRow("empty folder") << "";
        QTest::newRow("a folder named like the tool") << "folder";
        QTest::newRow("the tool one folder down") << "deeper";
    }
    void secondFolderWithoutTheTool_showsMessage_nothingStarts()
    {
        QFETCH(QString, content);
        const QString folder = dir_->filePath(QStringLiteral("tools"));
        QVERIFY(QDir().mkpath(folder));
        if (content == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(folder + QStringLiteral("/MSINFO32.EXE")));
        else if (content == QLatin1String("deeper"))
            PlaceTool(folder + QStringLiteral("/sub/MSINFO32.EXE"));
        QVERIFY(RegText(kFolderKey, QStringLiteral("MSINFO"), WindowsPath(folder)));

        const Run run = Driver({QStringLiteral("start")});

        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.all(QStringLiteral("message")), QStringList{kUnavailable});
    }

    void bothMissing_showsMessage()
    {
        const Run run = Driver({QStringLiteral("start")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.all(QStringLiteral("message")), QStringList{kUnavailable});
        QVERIFY(run.lines.contains(QStringLiteral("returned")));
    }
};

QTEST_GUILESS_MAIN(SysInfoWineTest)
#include "tst_sysinfo_wine.moc"
