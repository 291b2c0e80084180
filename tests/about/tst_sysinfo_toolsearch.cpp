// The stand-in registry of systems without one: it answers the tool's value
// with a system information program found on PATH.

#include "registry_posix.h"
#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"
#include "waiting_tool.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

using namespace sysinfo;

class ToolSearchTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir *dir_ = nullptr;
    QByteArray savedPath_;

    QString folder(const QString &name)
    {
        const QString path = dir_->filePath(name);
        QDir().mkpath(path);
        return path;
    }
    void setPath(const QStringList &folders)
    {
        qputenv("PATH", QFile::encodeName(folders.join(QLatin1Char(':'))));
    }
    static std::string Read(const char *key, const char *value, bool *ok)
    {
        std::string text = "before";
        *ok = GetKeyValue(NativeRegistry(), kHkeyLocalMachine, key, value, text);
        return text;
    }

private slots:
    void init()
    {
        savedPath_ = qgetenv("PATH");
        dir_ = new QTemporaryDir;
        QVERIFY(dir_->isValid());
    }
    void cleanup()
    {
        QDirIterator it(dir_->path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (!file.contains(QLatin1Char('.')))
                WaitingTool{file, file + QStringLiteral(".go"), {}, {}}.Release();
        }
        qputenv("PATH", savedPath_);
        delete dir_;
    }

    void knownTools_areTheSystemInformationPrograms()
    {
        const std::vector<std::string> expected{"hardinfo2", "hardinfo", "kinfocenter", "cpu-x"};
        QCOMPARE(KnownTools(), expected);
    }

    void toolFound_valueIsItsFullPath_firstOfTheListWins()
    {
        const QString a = folder(QStringLiteral("a"));
        const QString b = folder(QStringLiteral("b b"));
        WaitingTool::Create(a + QStringLiteral("/kinfocenter"));
        WaitingTool::Create(b + QStringLiteral("/hardinfo"));
        setPath({dir_->filePath(QStringLiteral("missing")), a, b});

        bool ok = false;
        const std::string value = Read(kToolKey, kToolValue, &ok);
        QVERIFY(ok);
        QCOMPARE(QString::fromStdString(value), b + QStringLiteral("/hardinfo"));
    }

    void toolFound_skipsFilesThatCannotRun()
    {
        const QString a = folder(QStringLiteral("a"));
        const QString b = folder(QStringLiteral("b"));
        WaitingTool::Create(a + QStringLiteral("/hardinfo"), false); // not executable
        QDir().mkpath(a + QStringLiteral("/hardinfo2"));             // a folder
        WaitingTool::Create(b + QStringLiteral("/hardinfo"));
        setPath({QString(), QStringLiteral("relative"), a, b + QStringLiteral("/")});

        bool ok = false;
        QCOMPARE(QString::fromStdString(Read(kToolKey, kToolValue, &ok)),
                 b + QStringLiteral("/hardinfo"));
        QVERIFY(ok);
    }

    void noToolFound_valueIsMissing()
    {
        const QString a = folder(QStringLiteral("a"));
        WaitingTool::Create(a + QStringLiteral("/msinfo32"));
        setPath({a, folder(QStringLiteral("empty"))});

        bool ok = true;
        QCOMPARE(Read(kToolKey, kToolValue, &ok), std::string());
        QVERIFY(!ok);
    }

    void toolFolderValue_isAlwaysMissing()
    {
        const QString a = folder(QStringLiteral("a"));
        WaitingTool::Create(a + QStringLiteral("/hardinfo"));
        setPath({a});
        bool ok = true;
        QCOMPARE(Read(kToolFolderKey, kToolFolderValue, &ok), std::string());
        QVERIFY(!ok);
    }

    void writeRights_areRefused_likeTheMachineKeyForAnOrdinaryUser()
    {
        RegHandle key = 0;
        QCOMPARE(NativeRegistry().OpenKey(kHkeyLocalMachine, kToolKey, 0, 0x2003F, key),
                 kErrorAccessDenied);
        QCOMPARE(NativeRegistry().OpenKey(kHkeyLocalMachine, kToolKey, 0, kKeyRead, key),
                 kErrorSuccess);
        NativeRegistry().CloseKey(key);
    }

    void longPath_thatDoesNotFitTheBuffer_isReportedAsMoreData()
    {
        QString deep = dir_->path();
        while (deep.size() < 1100)
            deep += QStringLiteral("/folder-with-a-long-name");
        QVERIFY(QDir().mkpath(deep));
        WaitingTool::Create(deep + QStringLiteral("/hardinfo"));
        setPath({deep});

        bool ok = true;
        QCOMPARE(Read(kToolKey, kToolValue, &ok), std::string());
        QVERIFY(!ok);
    }

    void startSysInfo_toolFound_startsIt()
    {
        const QString a = folder(QStringLiteral("tools"));
        const WaitingTool tool = WaitingTool::Create(a + QStringLiteral("/kinfocenter"));
        setPath({a});
        std::vector<std::string> messages;

        StartSysInfo(NativeRegistry(),
                     NativePlatform([&](const std::string &text) { messages.push_back(text); }));

        QVERIFY(messages.empty());
        QVERIFY(!tool.HasRun());
        tool.Release();
        QTRY_VERIFY_WITH_TIMEOUT(tool.HasRun(), 30000);
        QCOMPARE(tool.Report().value(1), QStringLiteral("0"));
        QCOMPARE(tool.Report().value(2), tool.path);
    }

    void startSysInfo_noToolFound_showsMessage()
    {
        setPath({folder(QStringLiteral("empty"))});
        std::vector<std::string> messages;

        StartSysInfo(NativeRegistry(),
                     NativePlatform([&](const std::string &text) { messages.push_back(text); }));

        QCOMPARE(messages,
                 std::vector<std::string>{"System Information Is Unavailable At This Time"});
    }
};

QTEST_GUILESS_MAIN(ToolSearchTest)
#include "tst_sysinfo_toolsearch.moc"
