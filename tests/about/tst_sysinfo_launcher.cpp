// The system information launcher against a registry held in memory, with
// real program starts of scripts that leave a marker file.

#include "memory_registry.h"
#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"
#include "waiting_tool.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace sysinfo;

namespace {

const std::string kUnavailable = "System Information Is Unavailable At This Time";

void ReleaseAll(const QString &folder)
{
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (!file.endsWith(QStringLiteral(".go")) && !file.endsWith(QStringLiteral(".ran")) &&
            !file.endsWith(QStringLiteral(".runs")))
            WaitingTool{file, file + QStringLiteral(".go"), {}, {}}.Release();
    }
}

std::string Native(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

class SysInfoLauncherTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *dir_ = nullptr;
    MemoryRegistry *registry_ = nullptr;
    std::vector<std::string> messages_;

    Platform platform()
    {
        Platform p = NativePlatform([this](const std::string &text) { messages_.push_back(text); });
        return p;
    }
    void run() { StartSysInfo(*registry_, platform()); }
    QString tmp(const QString &name) const { return dir_->filePath(name); }

    std::string read(const std::string &initial, bool *result)
    {
        std::string value = initial;
        *result = GetKeyValue(*registry_, kHkeyLocalMachine, kToolKey, kToolValue, value);
        return value;
    }

private slots:
    void init()
    {
        dir_ = new QTemporaryDir;
        QVERIFY(dir_->isValid());
        registry_ = new MemoryRegistry;
        messages_.clear();
    }
    void cleanup()
    {
        // Release any tool still waiting, so none outlives the test.
        ReleaseAll(dir_->path());
        delete registry_;
        delete dir_;
    }

    // --- GetKeyValue ---

    void getKeyValue_opensForReadingOnly_withZeroedBufferOf1024()
    {
        registry_->SetText(kToolKey, kToolValue, "C:\\tools\\info.exe");
        bool ok = false;
        QCOMPARE(read("", &ok), std::string("C:\\tools\\info.exe"));
        QVERIFY(ok);
        QCOMPARE(registry_->opens.size(), size_t(1));
        QCOMPARE(registry_->opens[0].root, kHkeyLocalMachine);
        QCOMPARE(registry_->opens[0].options, 0u);
        QCOMPARE(registry_->opens[0].access, 0x20019u);
        QCOMPARE(registry_->queries.size(), size_t(1));
        QCOMPARE(registry_->queries[0].sizeIn, 1024u);
        QVERIFY(registry_->queries[0].bufferZeroed);
        QCOMPARE(registry_->openKeys, 0);
    }

    void getKeyValue_whereWriteRightsAreRefused_stillReads()
    {
        registry_->refuseWriteRights = true;
        registry_->SetText(kToolKey, kToolValue, "C:\\tools\\info.exe");
        bool ok = false;
        QCOMPARE(read("", &ok), std::string("C:\\tools\\info.exe"));
        QVERIFY(ok);
    }

    void getKeyValue_textWithAndWithoutTrailingZero_givesSameText()
    {
        registry_->Set(kToolKey, kToolValue, kRegSz, std::string("C:\\a b\\x.exe\0", 13));
        bool ok = false;
        const std::string withZero = read("", &ok);
        QVERIFY(ok);
        registry_->Set(kToolKey, kToolValue, kRegSz, "C:\\a b\\x.exe");
        const std::string withoutZero = read("", &ok);
        QVERIFY(ok);
        QCOMPARE(withZero, std::string("C:\\a b\\x.exe"));
        QCOMPARE(withoutZero, withZero);
    }

    void getKeyValue_dropsOnlyOneTrailingZero()
    {
        registry_->Set(kToolKey, kToolValue, kRegSz, std::string("abc\0\0", 5));
        bool ok = false;
        QCOMPARE(read("", &ok), std::string("abc\0", 4));
        QVERIFY(ok);
    }

    void getKeyValue_keepsBytesOfTheCodePage()
    {
        // "C:\Programme\Système" in an 8-bit code page.
        const std::string text = "C:\\Programme\\Syst\xE8me";
        registry_->SetText(kToolKey, kToolValue, text);
        bool ok = false;
        QCOMPARE(read("", &ok), text);
        QVERIFY(ok);
    }

    void getKeyValue_emptyText_isReadAsEmpty()
    {
        registry_->SetText(kToolKey, kToolValue, "");
        bool ok = false;
        QCOMPARE(read("before", &ok), std::string());
        QVERIFY(ok);
    }

    void getKeyValue_valueOf1024Bytes_isRead_longerCountsAsMissing()
    {
        registry_->SetText(kToolKey, kToolValue, std::string(1023, 'a'));
        bool ok = false;
        QCOMPARE(read("", &ok), std::string(1023, 'a'));
        QVERIFY(ok);

        registry_->SetText(kToolKey, kToolValue, std::string(1024, 'a'));
        QCOMPARE(read("before", &ok), std::string());
        QVERIFY(!ok);
        QCOMPARE(registry_->openKeys, 0);
    }

    void getKeyValue_missingKey_falseAndEmpty()
    {
        bool ok = true;
        QCOMPARE(read("before", &ok), std::string());
        QVERIFY(!ok);
        QVERIFY(registry_->queries.empty());
        QCOMPARE(registry_->openKeys, 0);
    }

    void getKeyValue_missingValue_falseEmptyAndKeyClosed()
    {
        registry_->AddKey(kToolKey);
        bool ok = true;
        QCOMPARE(read("before", &ok), std::string());
        QVERIFY(!ok);
        QCOMPARE(registry_->queries.size(), size_t(1));
        QCOMPARE(registry_->openKeys, 0);
    }

    void getKeyValue_dword_isAmpersandHAndHex_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("0x1A2B") << QByteArray("\x2B\x1A\x00\x00", 4) << "&h1A2B";
        QTest::newRow("zero") << QByteArray("\x00\x00\x00\x00", 4) << "&h0";
        QTest::newRow("0xFF000001") << QByteArray("\x01\x00\x00\xFF", 4) << "&hFF000001";
        QTest::newRow("0x100") << QByteArray("\x00\x01\x00\x00", 4) << "&h100";
    }
    void getKeyValue_dword_isAmpersandHAndHex()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        registry_->Set(kToolKey, kToolValue, kRegDword, bytes.toStdString());
        bool ok = false;
        QCOMPARE(QString::fromStdString(read("before", &ok)), expected);
        QVERIFY(ok);
        QCOMPARE(registry_->openKeys, 0);
    }

    void getKeyValue_otherTypes_leaveKeyValAsPassed_data()
    {
        QTest::addColumn<uint>("type");
        QTest::newRow("REG_EXPAND_SZ") << uint(kRegExpandSz);
        QTest::newRow("REG_MULTI_SZ") << uint(kRegMultiSz);
        QTest::newRow("REG_BINARY") << uint(kRegBinary);
    }
    void getKeyValue_otherTypes_leaveKeyValAsPassed()
    {
        QFETCH(uint, type);
        registry_->Set(kToolKey, kToolValue, type, std::string("%SystemRoot%\\x.exe\0", 19));
        bool ok = false;
        QCOMPARE(read("as passed", &ok), std::string("as passed"));
        QVERIFY(ok);
        QCOMPARE(registry_->openKeys, 0);
    }

    void getKeyValue_zeroSize_closesKeyAndFails()
    {
        registry_->Set(kToolKey, kToolValue, kRegSz, "");
        std::string value = "before";
        QVERIFY_THROWS_EXCEPTION(
            ReadFailure, GetKeyValue(*registry_, kHkeyLocalMachine, kToolKey, kToolValue, value));
        QCOMPARE(value, std::string("before"));
        QCOMPARE(registry_->openKeys, 0);
    }

    // --- StartSysInfo ---

    void firstValueNamesProgram_startsItDetached_withoutArguments_secondNeverRead()
    {
        const WaitingTool tool = WaitingTool::Create(tmp(QStringLiteral("tool dir/sys info")));
        registry_->SetText(kToolKey, kToolValue, Native(tool.path));
        // A second value that would start a tool if it were tried.
        WaitingTool::Create(tmp(QStringLiteral("other\\MSINFO32.EXE")));
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(tmp(QStringLiteral("other"))));

        run();

        // The tool waits for the go file, so it cannot have written yet
        // unless the launcher waited for it.
        QVERIFY(!tool.HasRun());
        QVERIFY(messages_.empty());
        QVERIFY(!registry_->WasOpened(kToolFolderKey));
        tool.Release();
        QTRY_VERIFY_WITH_TIMEOUT(tool.HasRun(), 30000);
        const QStringList report = tool.Report();
        QCOMPARE(report.value(0), QStringLiteral("released"));
        QCOMPARE(report.value(1), QStringLiteral("0"));
        QCOMPARE(report.value(2), tool.path);
        QVERIFY(report.value(3) != QString::number(QCoreApplication::applicationPid()));
    }

    void firstValueNamesMissingFile_showsMessage_secondNotTried()
    {
        registry_->SetText(kToolKey, kToolValue, Native(tmp(QStringLiteral("no such tool"))));
        // A second value that would start a tool if it were tried.
        WaitingTool::Create(tmp(QStringLiteral("other\\MSINFO32.EXE")));
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(tmp(QStringLiteral("other"))));

        run();

        QCOMPARE(messages_, std::vector<std::string>{kUnavailable});
        QVERIFY(!registry_->WasOpened(kToolFolderKey));
    }

    void firstValueEmptyOrOfOtherType_showsMessage_secondNotTried_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty text") << uint(kRegSz) << QByteArray("\0", 1);
        QTest::newRow("REG_EXPAND_SZ") << uint(kRegExpandSz) << QByteArray("/bin/true\0", 10);
        QTest::newRow("REG_MULTI_SZ") << uint(kRegMultiSz) << QByteArray("/bin/true\0\0", 11);
        QTest::newRow("REG_DWORD") << uint(kRegDword) << QByteArray("\x01\x00\x00\x00", 4);
    }
    void firstValueEmptyOrOfOtherType_showsMessage_secondNotTried()
    {
        QFETCH(uint, type);
        QFETCH(QByteArray, bytes);
        registry_->Set(kToolKey, kToolValue, type, bytes.toStdString());
        // A second value that would start a tool if it were tried.
        WaitingTool::Create(tmp(QStringLiteral("other\\MSINFO32.EXE")));
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(tmp(QStringLiteral("other"))));

        run();

        QCOMPARE(messages_, std::vector<std::string>{kUnavailable});
        QVERIFY(!registry_->WasOpened(kToolFolderKey));
    }

    void firstValueNamesNoProgram_showsMessage_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("folder") << "folder";
        QTest::newRow("file without execute permission") << "plain";
        QTest::newRow("executable text that is no program") << "text";
    }
    void firstValueNamesNoProgram_showsMessage()
    {
        QFETCH(QString, what);
        QString path = tmp(what);
        if (what == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else if (what == QLatin1String("plain")) {
            WaitingTool::Create(path, false);
        } else {
            // No "#!" line: only a shell would run it, and none is used.
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("touch '" + QFile::encodeName(path) + ".ran'\n");
            file.close();
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        }
        registry_->SetText(kToolKey, kToolValue, Native(path));

        run();

        QCOMPARE(messages_, std::vector<std::string>{kUnavailable});
        QVERIFY(!QFile::exists(path + QStringLiteral(".ran")));
    }

    void firstMissing_secondNamesFolderWithTool_startsThatFile()
    {
        // The tool's file name is joined with a backslash, so here, where
        // that is no separator, the file is the folder's name followed by
        // "\MSINFO32.EXE".
        const QString folder = tmp(QStringLiteral("shared tools"));
        QVERIFY(QDir().mkpath(folder));
        const WaitingTool tool = WaitingTool::Create(folder + QStringLiteral("\\MSINFO32.EXE"));
        registry_->AddKey(kToolKey);
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(folder));

        run();

        QVERIFY(messages_.empty());
        QVERIFY(registry_->WasQueried(kToolKey));
        QVERIFY(!tool.HasRun());
        tool.Release();
        QTRY_VERIFY_WITH_TIMEOUT(tool.HasRun(), 30000);
        QCOMPARE(tool.Report().value(0), QStringLiteral("released"));
        QCOMPARE(tool.Report().value(1), QStringLiteral("0"));
        QCOMPARE(tool.Report().value(2), tool.path);
        QCOMPARE(registry_->openKeys, 0);
    }

    void firstTooLong_countsAsMissing_secondStarts()
    {
        registry_->SetText(kToolKey, kToolValue, std::string(2000, 'x'));
        const QString folder = tmp(QStringLiteral("tools"));
        const WaitingTool tool = WaitingTool::Create(folder + QStringLiteral("\\MSINFO32.EXE"));
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(folder));

        run();

        QVERIFY(messages_.empty());
        tool.Release();
        QTRY_VERIFY_WITH_TIMEOUT(tool.HasRun(), 30000);
    }

    void firstMissing_secondNamesFolderWithoutTool_showsMessage_nothingStarts_data()
    {
        QTest::addColumn<QString>("content");
        QTest::newRow("nothing there") << "";
        QTest::newRow("a folder of that name") << "folder";
        QTest::newRow("a hidden file") << "hidden";
        QTest::newRow("a program inside the folder") << "inside";
    }
    void firstMissing_secondNamesFolderWithoutTool_showsMessage_nothingStarts()
    {
        QFETCH(QString, content);
        QString folder = tmp(QStringLiteral("tools"));
        QString candidate = folder + QStringLiteral("\\MSINFO32.EXE");
        QVERIFY(QDir().mkpath(folder));
        if (content == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(candidate));
        } else if (content == QLatin1String("hidden")) {
            folder = tmp(QStringLiteral(".tools"));
            candidate = folder + QStringLiteral("\\MSINFO32.EXE");
            WaitingTool::Create(candidate);
        } else if (content == QLatin1String("inside")) {
            candidate = folder + QStringLiteral("/MSINFO32.EXE");
            WaitingTool::Create(candidate);
        }
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(folder));

        run();

        QCOMPARE(messages_, std::vector<std::string>{kUnavailable});
    }

    void bothMissing_showsMessageOnce()
    {
        run();
        QCOMPARE(messages_, std::vector<std::string>{kUnavailable});
        QVERIFY(registry_->WasOpened(kToolKey));
        QVERIFY(registry_->WasOpened(kToolFolderKey));
    }

    void firstZeroSize_goesStraightToMessage()
    {
        registry_->Set(kToolKey, kToolValue, kRegSz, "");
        const QString folder = tmp(QStringLiteral("tools"));
        const WaitingTool tool = WaitingTool::Create(folder + QStringLiteral("\\MSINFO32.EXE"));
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(folder));

        run();

        QCOMPARE(messages_, std::vector<std::string>{kUnavailable});
        QVERIFY(!registry_->WasOpened(kToolFolderKey));
        QCOMPARE(registry_->openKeys, 0);
    }

    void secondZeroSize_showsMessage()
    {
        registry_->Set(kToolFolderKey, kToolFolderValue, kRegSz, "");
        run();
        QCOMPARE(messages_, std::vector<std::string>{kUnavailable});
        QCOMPARE(registry_->openKeys, 0);
    }

    void failureRaisedByRead_showsMessage_andGoesNoFurther()
    {
        registry_->SetText(kToolKey, kToolValue, "/bin/true");
        registry_->throwOnQueryOf = kToolValue;
        run(); // must not throw
        QCOMPARE(messages_, std::vector<std::string>{kUnavailable});
        QVERIFY(!registry_->WasOpened(kToolFolderKey));
    }

    void secondClick_startsSecondCopy()
    {
        const WaitingTool tool = WaitingTool::Create(tmp(QStringLiteral("info")));
        registry_->SetText(kToolKey, kToolValue, Native(tool.path));
        run();
        run();
        QVERIFY(messages_.empty());
        QCOMPARE(registry_->opens.size(), size_t(2));
        tool.Release();
        QTRY_COMPARE_WITH_TIMEOUT(tool.Runs(), 2, 30000);
    }
};

QTEST_GUILESS_MAIN(SysInfoLauncherTest)
#include "tst_sysinfo_launcher.moc"
