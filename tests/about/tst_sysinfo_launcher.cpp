// The system information launcher against a registry held in memory, with
// real program starts of scripts that leave a marker file.

#include "getkeyvalue_rows.h"
#include "memory_registry.h"
#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"
#include "waiting_tool.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace sysinfo;

namespace {

using Messages = std::vector<std::string>;
const Messages kUnavailable{kUnavailableText};

std::string Native(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

class SysInfoLauncherTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<MemoryRegistry> registry_;

    // Runs the launcher; the messages it showed.
    Messages Start()
    {
        Messages messages;
        StartSysInfo(*registry_,
                     NativePlatform([&](const std::string &text) { messages.push_back(text); }));
        return messages;
    }
    QString tmp(const QString &name) const { return dir_->filePath(name); }

    // A tool folder value that would start a tool if it were tried.
    void AddWorkingSecondValue()
    {
        WaitingTool::Create(tmp(QStringLiteral("other\\MSINFO32.EXE")));
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(tmp(QStringLiteral("other"))));
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        registry_ = std::make_unique<MemoryRegistry>();
    }
    void cleanup()
    {
        WaitingTool::ReleaseAllIn(dir_->path());
        registry_.reset();
        dir_.reset();
    }

    void getKeyValue_data() { AddGetKeyValueRows(); }
    void getKeyValue()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, result);
        QFETCH(QByteArray, keyVal);
        if (type == kValueMissing)
            registry_->AddKey(kToolKey);
        else if (type != kKeyMissing)
            registry_->Set(kToolKey, kToolValue, std::uint32_t(type), bytes.toStdString());

        std::string value = "as passed";
        QString got;
        try {
            got = GetKeyValue(*registry_, kHkeyLocalMachine, kToolKey, kToolValue, value)
                      ? QStringLiteral("true")
                      : QStringLiteral("false");
        } catch (const ReadFailure &) {
            got = QStringLiteral("failure");
        }
        QCOMPARE(got, result);
        QCOMPARE(QByteArray::fromStdString(value), keyVal);

        // Opened once for reading only, read into a zeroed 1024-byte buffer,
        // and closed again.
        QCOMPARE(registry_->opens.size(), size_t(1));
        QCOMPARE(registry_->opens[0].root, kHkeyLocalMachine);
        QCOMPARE(registry_->opens[0].options, 0u);
        QCOMPARE(registry_->opens[0].access, 0x20019u);
        QCOMPARE(registry_->queries.size(), size_t(type == kKeyMissing ? 0 : 1));
        for (const auto &query : registry_->queries) {
            QCOMPARE(query.sizeIn, 1024u);
            QVERIFY(query.bufferZeroed);
        }
        QCOMPARE(registry_->openKeys, 0);
    }

    // --- StartSysInfo ---

    void firstValueNamesProgram_startsItDetached_withoutArguments_secondNeverRead()
    {
        const WaitingTool tool = WaitingTool::Create(tmp(QStringLiteral("tool dir/sys info")));
        registry_->SetText(kToolKey, kToolValue, Native(tool.path));
        AddWorkingSecondValue();

        QVERIFY(Start().empty());

        QVERIFY(!registry_->WasOpened(kToolFolderKey));
        tool.ExpectStartedDetached();
        QVERIFY(tool.Report().value(3) != QString::number(QCoreApplication::applicationPid()));
    }

    void firstValueUnusable_showsMessage_secondNotTried_data()
    {
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("readThrows");
        QTest::newRow("names a missing file")
            << uint(kRegSz) << QByteArray("/no such folder/no such tool\0", 29) << false;
        QTest::newRow("empty text") << uint(kRegSz) << QByteArray("\0", 1) << false;
        QTest::newRow("zero bytes") << uint(kRegSz) << QByteArray() << false;
        QTest::newRow("REG_EXPAND_SZ")
            << uint(kRegExpandSz) << QByteArray("/bin/true\0", 10) << false;
        QTest::newRow("REG_MULTI_SZ")
            << uint(kRegMultiSz) << QByteArray("/bin/true\0\0", 11) << false;
        QTest::newRow("REG_DWORD") << uint(kRegDword) << QByteArray("\x01\x00\x00\x00", 4) << false;
        QTest::newRow("read raises a failure")
            << uint(kRegSz) << QByteArray("/bin/true\0", 10) << true;
    }
    void firstValueUnusable_showsMessage_secondNotTried()
    {
        QFETCH(uint, type);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, readThrows);
        registry_->Set(kToolKey, kToolValue, type, bytes.toStdString());
        if (readThrows)
            registry_->throwOnQueryOf = kToolValue;
        AddWorkingSecondValue();

        QCOMPARE(Start(), kUnavailable); // and lets no failure out

        QVERIFY(!registry_->WasOpened(kToolFolderKey));
        if (!readThrows)
            QCOMPARE(registry_->openKeys, 0);
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
        const QString path = tmp(what);
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

        QCOMPARE(Start(), kUnavailable);
        QVERIFY(!QFile::exists(path + QStringLiteral(".ran")));
    }

    void firstMissing_secondNamesFolderWithTool_startsThatFile_data()
    {
        QTest::addColumn<bool>("firstTooLong");
        QTest::newRow("first value missing") << false;
        QTest::newRow("first value over 1024 bytes") << true;
    }
    void firstMissing_secondNamesFolderWithTool_startsThatFile()
    {
        QFETCH(bool, firstTooLong);
        // The file name is joined with a backslash, no separator here, so
        // the file is the folder's name followed by "\MSINFO32.EXE".
        const QString folder = tmp(QStringLiteral("shared tools"));
        QVERIFY(QDir().mkpath(folder));
        const WaitingTool tool = WaitingTool::Create(folder + QStringLiteral("\\MSINFO32.EXE"));
        registry_->AddKey(kToolKey);
        if (firstTooLong)
            registry_->SetText(kToolKey, kToolValue, std::string(2000, 'x'));
        registry_->SetText(kToolFolderKey, kToolFolderValue, Native(folder));

        QVERIFY(Start().empty());

        QVERIFY(registry_->WasQueried(kToolKey));
        QCOMPARE(registry_->openKeys, 0);
        tool.ExpectStartedDetached();
    }

    void secondValueGivesNoTool_showsMessage_data()
    {
        QTest::addColumn<QString>("second");
        QTest::newRow("missing") << "missing";
        QTest::newRow("zero bytes") << "zero";
        QTest::newRow("folder with nothing there") << "";
        QTest::newRow("a folder of the tool's name") << "folder";
        QTest::newRow("a hidden file") << "hidden";
        QTest::newRow("a program inside the folder") << "inside";
    }
    void secondValueGivesNoTool_showsMessage()
    {
        QFETCH(QString, second);
        QString folder = tmp(QStringLiteral("tools"));
        QVERIFY(QDir().mkpath(folder));
        if (second == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(folder + QStringLiteral("\\MSINFO32.EXE")));
        } else if (second == QLatin1String("hidden")) {
            folder = tmp(QStringLiteral(".tools"));
            WaitingTool::Create(folder + QStringLiteral("\\MSINFO32.EXE"));
        } else if (second == QLatin1String("inside")) {
            WaitingTool::Create(folder + QStringLiteral("/MSINFO32.EXE"));
        }
        if (second == QLatin1String("zero"))
            registry_->Set(kToolFolderKey, kToolFolderValue, kRegSz, "");
        else if (second != QLatin1String("missing"))
            registry_->SetText(kToolFolderKey, kToolFolderValue, Native(folder));

        QCOMPARE(Start(), kUnavailable);

        QVERIFY(registry_->WasOpened(kToolKey));
        QVERIFY(registry_->WasOpened(kToolFolderKey));
        QCOMPARE(registry_->openKeys, 0);
    }

    void secondClick_startsSecondCopy()
    {
        const WaitingTool tool = WaitingTool::Create(tmp(QStringLiteral("info")));
        registry_->SetText(kToolKey, kToolValue, Native(tool.path));
        QVERIFY(Start().empty());
        QVERIFY(Start().empty());
        QCOMPARE(registry_->opens.size(), size_t(2));
        tool.Release();
        QTRY_COMPARE_WITH_TIMEOUT(tool.Runs(), 2, 30000);
    }
};

QTEST_GUILESS_MAIN(SysInfoLauncherTest)
#include "tst_sysinfo_launcher.moc"
