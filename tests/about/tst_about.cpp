// The About box and the system information launcher behind its button: the
// launcher against a registry held in memory with real program starts, the
// stand-in registry that looks for a tool on PATH, and the box's own keys.

#include "frmabout.h"
#include "getkeyvalue_rows.h"
#include "registry_posix.h"
#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"
#include "test_support.h"

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <map>

using namespace sysinfo;
using namespace Qt::StringLiterals;

namespace {

const QString kUnavailable = QString::fromLatin1(kUnavailableMessage);

// A registry in memory that, like the platform's, matches names without
// regard to case and refuses a value longer than the buffer. It records the
// rights each open asks for and whether every key was closed.
class MemoryRegistry : public Registry
{
public:
    std::map<QString, std::map<QString, std::pair<std::uint32_t, QByteArray>>> keys;
    std::vector<std::uint32_t> opens; // the rights asked for
    int openKeys = 0;
    bool throws = false; // a read raises a failure

    long OpenKey(RegHandle root, const std::string &subKey, std::uint32_t options,
                 std::uint32_t access, RegHandle &key) override
    {
        opens.push_back(options ? ~0u : access);
        const auto found = keys.find(QString::fromStdString(subKey).toLower());
        if (root != kHkeyLocalMachine || found == keys.end())
            return kErrorFileNotFound;
        key = reinterpret_cast<RegHandle>(&found->second);
        return ++openKeys, kErrorSuccess;
    }
    long QueryValue(RegHandle key, const std::string &name, std::uint32_t &type,
                    unsigned char *data, std::uint32_t &size) override
    {
        auto &values = *reinterpret_cast<decltype(keys)::mapped_type *>(key);
        const auto found = values.find(QString::fromStdString(name).toLower());
        if (throws || size != 1024 || std::any_of(data, data + size, [](auto c) { return c; }))
            throw std::runtime_error("not a zeroed buffer of 1024 bytes, or a failure");
        if (found == values.end())
            return kErrorFileNotFound;
        const auto needed = std::uint32_t(found->second.second.size());
        const bool fits = needed <= size;
        type = found->second.first;
        if (fits)
            std::memcpy(data, found->second.second.constData(), needed);
        size = needed;
        return fits ? kErrorSuccess : kErrorMoreData;
    }
    long CloseKey(RegHandle) override { return --openKeys, kErrorSuccess; }
    void Set(const char *key, const char *value, std::uint32_t type, const QByteArray &bytes)
    {
        keys[QString::fromLatin1(key).toLower()][QString::fromLatin1(value).toLower()] = {type, bytes};
    }
};

// A stand-in tool: a script that waits for "<path>.go", then writes its
// argument count to "<path>.ran". A launcher that waited for it would still
// be blocked when the test looks, so "not waited for" needs no timing.
QString MakeTool(const QString &path, bool executable = true)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\nPATH=/usr/bin:/bin\ni=0\nwhile [ ! -e \"$0.go\" ] && [ $i -lt 300 ]; do sleep 0.1; "
               "i=$((i+1)); done\necho $# >> \"$0.ran\"\n");
    file.setPermissions(file.permissions() | (executable ? QFile::ExeOwner : QFile::Permissions()));
    return path;
}

// Whether the tool ran once, without arguments, and only after its start returned.
bool RanDetached(const QString &tool)
{
    const auto ran = [&tool] {
        QFile file(tool + ".ran");
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const bool early = !ran().isEmpty();
    QFile(tool + ".go").open(QIODevice::WriteOnly);
    return !early && QTest::qWaitFor([&] { return !ran().isEmpty(); }, 30000) && ran() == "0\n";
}

QStringList Start(Registry &registry)
{
    QStringList messages;
    StartSysInfo(registry, NativePlatform([&](const std::string &m) {
                     messages << QString::fromStdString(m);
                 }));
    return messages;
}

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

    QString tmp(const QString &name) const { return Scratch().filePath(name); }

private slots:
    void init()
    {
        // No system information tool on PATH, unless a test puts one there.
        qputenv("PATH", QFile::encodeName(Scratch(true).path()) + ":/nonexistent");
        msgbox::seam::Enable();
    }

    void cleanup()
    {
        QPointer<frmAbout> box = frmAbout::Instance();
        if (box)
            box->close();
        QTRY_VERIFY(box.isNull());
        QCOMPARE(ShownTexts(), QStringList());
    }

    void getKeyValue_data() { AddGetKeyValueRows(); }
    void getKeyValue()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, result);
        QFETCH(QByteArray, keyVal);
        MemoryRegistry registry;
        if (type != kKeyMissing)
            registry.Set(kToolKey, type == kValueMissing ? "other" : kToolValue, type, bytes);
        std::string value = "as passed";
        QString got = u"failure"_s;
        try {
            got = GetKeyValue(registry, kHkeyLocalMachine, kToolKey, kToolValue, value) ? u"true"_s
                                                                                        : u"false"_s;
        } catch (const ReadFailure &) {
        }
        QCOMPARE(got, result);
        QCOMPARE(QByteArray::fromStdString(value), keyVal);
        QCOMPARE(registry.opens, std::vector<std::uint32_t>{0x20019}); // for reading only
        QCOMPARE(registry.openKeys, 0);
    }

    void startSysInfo_data()
    {
        // The tool's value, the tool folder's value ("-": none) and which
        // tool starts; none: the message is shown.
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QString>("started");
        QTest::newRow("first names a tool") << "<tool>" << "<folder>" << "<tool>";
        QTest::newRow("first names no file") << "/no/such/tool" << "<folder>" << "";
        QTest::newRow("first names a folder") << "<folder>" << "<folder>" << "";
        QTest::newRow("first names a plain file") << "<plain>" << "<folder>" << "";
        QTest::newRow("first is empty") << "" << "<folder>" << "";
        QTest::newRow("first is REG_EXPAND_SZ") << "<expand>" << "<folder>" << "";
        QTest::newRow("first read fails") << "<throws>" << "<folder>" << "";
        QTest::newRow("first missing") << "-" << "<folder>" << "<second>";
        QTest::newRow("first too long") << "<long>" << "<folder>" << "<second>";
        QTest::newRow("neither") << "-" << "-" << "";
        QTest::newRow("second holds a folder") << "-" << "<folder of tool>" << "";
        QTest::newRow("second is hidden") << "-" << "<hidden>" << "";
    }
    void startSysInfo()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, started);
        // The file name is joined with a backslash, no separator added.
        const std::map<QString, QString> paths = {
            {"<tool>", MakeTool(tmp(u"tool dir/sys info"_s))},
            {"<second>", MakeTool(tmp(u"shared\\MSINFO32.EXE"_s))},
            {"<folder>", tmp(u"shared"_s)},
            {"<plain>", MakeTool(tmp(u"plain"_s), false)},
            {"<expand>", tmp(u"tool dir/sys info"_s)},
            {"<long>", QString(2000, 'x')},
            {"<folder of tool>", tmp(u"folder"_s)},
            {"<hidden>", QFileInfo(MakeTool(tmp(u".hidden\\MSINFO32.EXE"_s))).path() + "/.hidden"}};
        QDir().mkpath(tmp(u"folder\\MSINFO32.EXE"_s));
        QDir().mkpath(tmp(u"shared"_s));
        const auto path = [&](const QString &s) {
            return QFile::encodeName(paths.count(s) ? paths.at(s) : s) + '\0';
        };
        MemoryRegistry registry;
        registry.keys[QString::fromLatin1(kToolKey).toLower()];
        if (first != "-")
            registry.Set(kToolKey, kToolValue, first == "<expand>" ? kRegExpandSz : kRegSz, path(first));
        if (second != "-")
            registry.Set(kToolFolderKey, kToolFolderValue, kRegSz, path(second));
        registry.throws = first == "<throws>";
        QCOMPARE(Start(registry), started.isEmpty() ? QStringList{kUnavailable} : QStringList());
        QCOMPARE(int(registry.opens.size()), first == "-" || first == "<long>" ? 2 : 1);
        QVERIFY(registry.openKeys == 0 || registry.throws);
        QVERIFY(started.isEmpty() || RanDetached(paths.at(started)));
        for (const char *tool : {"<tool>", "<second>"})
            QFile(paths.at(tool) + ".go").open(QIODevice::WriteOnly); // none lingers
    }

    void toolSearch_data()
    {
        // Files below the folder <d> ("-" at the end: not executable, "/":
        // a folder), the PATH, and the tool's value as read.
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("found");
        QTest::newRow("list order beats PATH order")
            << QStringList({"a/kinfocenter", "b b/hardinfo"}) << "<d>/none:<d>/a:<d>/b b"
            << "<d>/b b/hardinfo";
        QTest::newRow("first folder") << QStringList{"a/cpu-x"} << "<d>/a:<d>/b" << "<d>/a/cpu-x";
        QTest::newRow("skips what cannot run")
            << QStringList({"a/hardinfo-", "a/hardinfo2/", "b/hardinfo"}) << "::b:<d>/a:<d>/b/"
            << "<d>/b/hardinfo";
        QTest::newRow("none") << QStringList{"a/msinfo32"} << "<d>/a:<d>/b" << "";
        const QString deep = u"/folder-with-a-long-name"_s.repeated(45);
        QTest::newRow("too long") << QStringList{deep.mid(1) + "/hardinfo"} << "<d>" + deep + ":<d>"
                                  << "";
    }
    void toolSearch()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, path);
        QFETCH(QString, found);
        for (const QString &file : files) {
            if (file.endsWith('/'))
                QDir().mkpath(tmp(file));
            else
                MakeTool(tmp(file.chopped(file.endsWith('-'))), !file.endsWith('-'));
        }
        qputenv("PATH", QFile::encodeName(path.replace("<d>", Scratch().path())));
        std::string value = "before", other = "before";
        QCOMPARE(GetKeyValue(NativeRegistry(), kHkeyLocalMachine, kToolKey, kToolValue, value),
                 !found.isEmpty());
        QCOMPARE(QString::fromStdString(value), found.replace("<d>", Scratch().path()));
        QVERIFY(!GetKeyValue(NativeRegistry(), kHkeyLocalMachine, kToolFolderKey, kToolFolderValue,
                             other) &&
                other.empty()); // the folder value is never there
        RegHandle key = 0; // like the machine key for an ordinary user
        QCOMPARE(NativeRegistry().OpenKey(kHkeyLocalMachine, kToolKey, 0, 0x2003F, key),
                 kErrorAccessDenied);
    }

    void versionLine_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("line");
        QTest::newRow("designed text") << "1.00" << "Version 1.0.0";
        QTest::newRow("leading zeros, four numbers") << "02.010.007.0" << "Version 2.10.7";
        QTest::newRow("suffix") << "3.1.4-beta" << "Version 3.1.4";
        QTest::newRow("unset, from the build") << "" << "Version 1.0.0";
    }
    void versionLine()
    {
        QFETCH(QString, version);
        QFETCH(QString, line);
        QCOMPARE(AboutVersionLine(version), line);
    }

    void keys_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("shown"); // none: the box closed
        QTest::newRow("Enter on OK") << "cmdOK" << int(Qt::Key_Return) << "";
        QTest::newRow("Esc on System Info") << "cmdSysInfo" << int(Qt::Key_Escape) << "";
        QTest::newRow("Enter on System Info") << "cmdSysInfo" << int(Qt::Key_Return) << kUnavailable;
        QTest::newRow("Alt+S") << "cmdOK" << (Qt::Key_S | int(Qt::AltModifier)) << kUnavailable;
    }
    void keys()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(QString, shown);
        QPointer<frmAbout> box = frmAbout::Open();
        QVERIFY(QTest::qWaitForWindowActive(box));
        box->findChild<QWidget *>(focus)->setFocus();
        QTest::keyClick(box->windowHandle(), Qt::Key(key & ~int(Qt::AltModifier)),
                        Qt::KeyboardModifiers(key & int(Qt::AltModifier)));
        QTRY_COMPARE(msgbox::seam::ShownSoFar().size(), shown.isEmpty() ? 0 : 1);
        QCOMPARE(ShownTexts(), shown.isEmpty() ? QStringList() : QStringList{shown});
        QTRY_COMPARE(box.isNull(), shown.isEmpty());
    }

    void box_showsTexts_loadsAfreshOnlyOnceClosed_startsTheTool()
    {
        QCoreApplication::setApplicationVersion(u"2.10.7"_s);
        QPointer<frmAbout> box = frmAbout::Open();
        QVERIFY(QTest::qWaitForWindowActive(box));
        QCOMPARE(box->windowTitle(), u"About Pagecrier"_s);
        QCOMPARE(box->lblTitle->text() + ' ' + box->lblVersion->text(), u"Pagecrier Version 2.10.7"_s);
        QTRY_COMPARE(QApplication::focusWidget(), box->cmdOK);
        const QImage shot = box->grab().toImage(); // the etched rule is painted
        for (QFrame *line : box->Line1)
            QCOMPARE(shot.pixelColor(line->geometry().center()), line->palette().color(QPalette::Window));
        QCoreApplication::setApplicationVersion(u"3.4.5"_s);
        QCOMPARE(frmAbout::Open(), box.data()); // brought forward, not loaded again
        QCOMPARE(box->lblVersion->text(), u"Version 2.10.7"_s);

        const QString tool = MakeTool(tmp(u"hardinfo"_s));
        box->cmdSysInfo->click();
        QVERIFY(RanDetached(tool));
        box->cmdOK->click();
        QTRY_VERIFY(box.isNull());
        QCOMPARE(frmAbout::Open()->lblVersion->text(), u"Version 3.4.5"_s);
    }
};

PAGECRIER_TEST_MAIN(TestAbout)
#include "tst_about.moc"
