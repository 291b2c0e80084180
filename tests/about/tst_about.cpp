// The About box and the system information launcher behind its button: the
// launcher against a registry held in memory with real program starts, and
// the box on this build's registry, which looks for a tool on PATH.

#include "frmabout.h"
#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"
#include "test_support.h"

#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <map>
#include <sys/wait.h>

using namespace sysinfo;
using namespace Qt::StringLiterals;

namespace {

const QString kUnavailable = QString::fromLatin1(kUnavailableMessage);

// A registry in memory that, like the platform's, refuses a value longer than
// the buffer (which must come zeroed and 1024 bytes long). It records the
// rights each open asks for and how many keys are left open.
class MemoryRegistry : public Registry
{
public:
    std::map<std::string, std::map<std::string, std::pair<std::uint32_t, QByteArray>>> keys;
    std::vector<std::uint32_t> opens;
    int openKeys = 0;

    long OpenKey(RegHandle root, const std::string &subKey, std::uint32_t options,
                 std::uint32_t access, RegHandle &key) override
    {
        opens.push_back(options ? ~0u : access);
        if (root != kHkeyLocalMachine || !keys.count(subKey))
            return kErrorFileNotFound;
        key = reinterpret_cast<RegHandle>(&keys[subKey]);
        return ++openKeys, kErrorSuccess;
    }
    long QueryValue(RegHandle key, const std::string &name, std::uint32_t &type,
                    unsigned char *data, std::uint32_t &size) override
    {
        auto &values = *reinterpret_cast<decltype(keys)::mapped_type *>(key);
        if (size != 1024 || std::any_of(data, data + size, [](auto c) { return c; }))
            throw std::runtime_error("not a zeroed buffer of 1024 bytes");
        if (!values.count(name))
            return kErrorFileNotFound;
        const QByteArray bytes = values[name].second;
        type = values[name].first;
        std::memcpy(data, bytes.constData(),
                    std::min(std::size_t(bytes.size()), std::size_t(size)));
        size = std::uint32_t(bytes.size());
        return bytes.size() > 1024 ? kErrorMoreData : kErrorSuccess;
    }
    long CloseKey(RegHandle) override { return --openKeys, kErrorSuccess; }
};

// A stand-in tool: a script that waits for "<path>.go", then adds its
// argument count to "<path>.ran". A launcher that waited for it would still
// be blocked when the test looks, so "not waited for" needs no timing.
QString MakeTool(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\nPATH=/usr/bin:/bin\nfor i in $(seq 300); do [ -e \"$0.go\" ] || sleep "
               "0.1; done\necho $# >> \"$0.ran\"\n");
    file.setPermissions(file.permissions() | QFile::ExeOwner);
    return path;
}

// Whether the tool ran once, without arguments, only after its start returned.
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

} // namespace

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // No system information tool on PATH, unless a test puts one there.
        qputenv("PATH", QFile::encodeName(Scratch(true).path()) + ":/nonexistent");
        msgbox::seam::Enable();
    }

    void cleanup() { QCOMPARE(ShownTexts(), QStringList()); }

    void getKeyValue_data()
    {
        // A type of -1: the key is missing; 0: the key holds another value.
        // The outcome: "true", "false" or "failure" (ReadFailure), and KeyVal
        // after the call, passed in as "as passed".
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("outcome");
        const auto row = [](const char *name, int type, const QByteArray &bytes, const char *result,
                            const QByteArray &keyVal) {
            QTest::newRow(name) << type << bytes << result + (' ' + keyVal);
        };
        const QByteArray path("C:\\Programme\\Syst\xE8me\\info.exe"), zero(1, '\0');
        const QByteArray passed("as passed");
        row("text without its zero", kRegSz, path, "true", path);
        row("only one zero dropped", kRegSz, QByteArray("abc\0\0", 5), "true",
            QByteArray("abc\0", 4));
        row("1023 bytes and the zero", kRegSz, QByteArray(1023, 'x') + zero, "true",
            QByteArray(1023, 'x'));
        row("1024 bytes and the zero: missing", kRegSz, QByteArray(1024, 'x') + zero, "false", "");
        row("key missing", -1, QByteArray(), "false", "");
        row("value missing", 0, QByteArray(), "false", "");
        row("REG_DWORD 0xA01B2C", kRegDword, QByteArray("\x2C\x1B\xA0\x00", 4), "true", "&hA01B2C");
        row("REG_DWORD 0", kRegDword, QByteArray(4, '\0'), "true", "&h0");
        row("REG_EXPAND_SZ", kRegExpandSz, "%SystemRoot%\\x.exe" + zero, "true", passed);
        row("zero bytes fail", kRegSz, QByteArray(), "failure", passed);
    }
    void getKeyValue()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, bytes);
        MemoryRegistry registry;
        if (type >= 0)
            registry.keys[kToolKey][type ? kToolValue : "other"] = {type, bytes};
        std::string value = "as passed";
        QByteArray got = "failure";
        try {
            got = GetKeyValue(registry, kHkeyLocalMachine, kToolKey, kToolValue, value) ? "true"
                                                                                        : "false";
        } catch (const ReadFailure &) {
        }
        QTEST(got + ' ' + QByteArray::fromStdString(value), "outcome");
        QCOMPARE(registry.opens, std::vector<std::uint32_t>{0x20019}); // for reading only
        QCOMPARE(registry.openKeys, 0);
    }

    void startSysInfo_data()
    {
        // The tool's value and the tool folder's value ("-": none; paths
        // below the scratch folder), and which tool starts; none: the message
        // is shown.
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QString>("started");
        QTest::newRow("first names a folder") << QByteArray("shared") << QByteArray("shared") << "";
        QTest::newRow("first read fails") << QByteArray() << QByteArray("shared") << "";
        QTest::newRow("first too long")
            << QByteArray(2000, 'x') << QByteArray("shared") << "shared\\MSINFO32.EXE";
        QTest::newRow("neither") << QByteArray("-") << QByteArray("-") << "";
        QTest::newRow("second is hidden") << QByteArray("-") << QByteArray(".h") << "";
    }
    void startSysInfo()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QString, started);
        // The file name is joined with a backslash, no separator added.
        QVERIFY(QDir::setCurrent(Scratch().path()) && QDir().mkdir(u"shared"_s));
        for (const char *tool : {"shared\\MSINFO32.EXE", ".h\\MSINFO32.EXE"})
            MakeTool(QString::fromLatin1(tool));
        MemoryRegistry registry;
        if (first != "-") // no bytes at all: the read fails
            registry.keys[kToolKey][kToolValue] = {kRegSz, first.isEmpty() ? first : first + '\0'};
        if (second != "-")
            registry.keys[kToolFolderKey][kToolFolderValue] = {kRegSz, second + '\0'};
        QStringList messages;
        StartSysInfo(registry, NativePlatform([&](const std::string &message) {
                         messages << QString::fromStdString(message);
                     }));
        QCOMPARE(messages, started.isEmpty() ? QStringList{kUnavailable} : QStringList());
        QCOMPARE(::waitpid(-1, nullptr, WNOHANG), -1); // no child left to reap
        QCOMPARE(int(registry.opens.size()), first == "-" || first.size() > 1024 ? 2 : 1);
        QVERIFY(started.isEmpty() || RanDetached(started));
    }

    // The version shown is the leading digits of three parts; unset, the build's.
    void box_texts_keys_startsTheFirstToolOnPath_loadsAfreshOnlyOnceClosed()
    {
        QCOMPARE(AboutVersionLine(QString()), u"Version 1.0.0"_s);
        QCoreApplication::setApplicationVersion(u"02.010.007-beta.0"_s);
        QPointer<frmAbout> box = frmAbout::Open();
        QVERIFY(QTest::qWaitForWindowActive(box));
        QCOMPARE(box->windowTitle() + ' ' + box->lblTitle->text() + ' ' + box->lblVersion->text(),
                 u"About Pagecrier Pagecrier Version 2.10.7"_s);
        QTRY_COMPARE(QApplication::focusWidget(), box->cmdOK);
        const QImage shot = box->grab().toImage(); // the etched rule is painted
        for (QFrame *line : box->Line1)
            QCOMPARE(shot.pixelColor(line->geometry().center()), line->palette().window().color());
        QCoreApplication::setApplicationVersion(u"3.04"_s);
        QCOMPARE(frmAbout::Open(), box.data()); // brought forward, not loaded again
        QCOMPARE(box->lblVersion->text(), u"Version 2.10.7"_s);
        QTest::keyClick(box->windowHandle(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(msgbox::seam::ShownSoFar().size(), 1); // no tool: it says so
        QCOMPARE(ShownTexts(), QStringList{kUnavailable});
        // Empty and relative PATH entries are skipped, a trailing "/" is not
        // doubled; a tool earlier in the list wins over one earlier on PATH.
        const QString d = Scratch().path();
        for (const char *folder : {"/a/hardinfo2", "/b"})
            QDir().mkpath(d + folder);
        QFile(d + "/a/hardinfo").open(QIODevice::WriteOnly); // not a program
        const QString tool = MakeTool(d + "/b/hardinfo");
        MakeTool(d + "/a/kinfocenter");
        qputenv("PATH", QFile::encodeName("::b:" + d + "/a:" + d + "/b/"));
        box->cmdSysInfo->click();
        QVERIFY(RanDetached(tool));
        qputenv("PATH", QFile::encodeName(d + "/a")); // the first folder counts too
        box->cmdSysInfo->click();
        QVERIFY(RanDetached(d + "/a/kinfocenter"));
        QTest::keyClick(box->windowHandle(), Qt::Key_Escape); // presses OK
        QTRY_VERIFY(box.isNull());
        QCOMPARE(frmAbout::Open()->lblVersion->text(), u"Version 3.4.0"_s);
    }
};

PAGECRIER_TEST_MAIN(TestAbout)
#include "tst_about.moc"
