// The stand-in registry of systems without one: it answers the tool's value
// with a system information program found on PATH.

#include "registry_posix.h"
#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"
#include "waiting_tool.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace sysinfo;

class ToolSearchTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray savedPath_;

    QString folder(const QString &name)
    {
        const QString path = dir_->filePath(name);
        QDir().mkpath(path);
        return path;
    }
    static void setPath(const QStringList &folders)
    {
        qputenv("PATH", QFile::encodeName(folders.join(QLatin1Char(':'))));
    }
    // The value as GetKeyValue reads it, or "missing".
    static QString Read(const char *key, const char *value)
    {
        std::string text = "before";
        if (!GetKeyValue(NativeRegistry(), kHkeyLocalMachine, key, value, text))
            return text.empty() ? QStringLiteral("missing")
                                : QStringLiteral("missing, not cleared");
        return QString::fromStdString(text);
    }
    static std::vector<std::string> Start()
    {
        std::vector<std::string> messages;
        StartSysInfo(NativeRegistry(),
                     NativePlatform([&](const std::string &text) { messages.push_back(text); }));
        return messages;
    }

private slots:
    void init()
    {
        savedPath_ = qgetenv("PATH");
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }
    void cleanup()
    {
        WaitingTool::ReleaseAllIn(dir_->path());
        qputenv("PATH", savedPath_);
        dir_.reset();
    }

    void toolFound_valueIsItsFullPath_firstOfTheListWins()
    {
        const QString a = folder(QStringLiteral("a"));
        const QString b = folder(QStringLiteral("b b"));
        WaitingTool::Create(a + QStringLiteral("/kinfocenter"));
        WaitingTool::Create(b + QStringLiteral("/hardinfo"));
        setPath({dir_->filePath(QStringLiteral("missing")), a, b});
        QCOMPARE(Read(kToolKey, kToolValue), b + QStringLiteral("/hardinfo"));
    }

    void toolFound_skipsFilesThatCannotRun()
    {
        const QString a = folder(QStringLiteral("a"));
        const QString b = folder(QStringLiteral("b"));
        WaitingTool::Create(a + QStringLiteral("/hardinfo"), false); // not executable
        QDir().mkpath(a + QStringLiteral("/hardinfo2"));             // a folder
        WaitingTool::Create(b + QStringLiteral("/hardinfo"));
        setPath({QString(), QStringLiteral("relative"), a, b + QStringLiteral("/")});
        QCOMPARE(Read(kToolKey, kToolValue), b + QStringLiteral("/hardinfo"));
    }

    void noToolFound_valueIsMissing()
    {
        const QString a = folder(QStringLiteral("a"));
        WaitingTool::Create(a + QStringLiteral("/msinfo32"));
        setPath({a, folder(QStringLiteral("empty"))});
        QCOMPARE(Read(kToolKey, kToolValue), QStringLiteral("missing"));
    }

    void toolFolderValue_isAlwaysMissing()
    {
        const QString a = folder(QStringLiteral("a"));
        WaitingTool::Create(a + QStringLiteral("/hardinfo"));
        setPath({a});
        QCOMPARE(Read(kToolFolderKey, kToolFolderValue), QStringLiteral("missing"));
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
        QCOMPARE(Read(kToolKey, kToolValue), QStringLiteral("missing"));
    }

    void startSysInfo_toolFound_startsIt()
    {
        const QString a = folder(QStringLiteral("tools"));
        const WaitingTool tool = WaitingTool::Create(a + QStringLiteral("/kinfocenter"));
        setPath({a});
        QVERIFY(Start().empty());
        tool.ExpectStartedDetached();
    }

    void startSysInfo_noToolFound_showsMessage()
    {
        setPath({folder(QStringLiteral("empty"))});
        QCOMPARE(Start(), std::vector<std::string>{kUnavailableText});
    }
};

QTEST_GUILESS_MAIN(ToolSearchTest)
#include "tst_sysinfo_toolsearch.moc"
