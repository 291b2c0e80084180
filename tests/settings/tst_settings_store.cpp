// The settings store and the address lists against real files: any text
// comes back exactly, names match in any case, failures name the file, links
// lead only to the user's own files, a damaged or huge file is used as far
// as it can be and kept aside, and writers racing or killed lose nothing.
// Also the option readings and the file's text form.

#include "address_list.h"
#include "keys.h"
#include "settings_file.h"
#include "settings_store.h"
#include "test_support.h"

#include <csignal>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

using namespace Qt::StringLiterals;
using namespace keys;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QString read(const QString &key, const QString &app = kApp, const QString &section = kSection)
{
    return SettingsStore().ReadSetting(app, section, key, u"<none>"_s);
}

void write(const QString &key, const QString &value)
{
    SettingsStore().WriteSetting(kApp, kSection, key, value);
}

// The message of the SettingsError call throws, or a note that it threw none.
QString failure(const std::function<void()> &call)
{
    try {
        call();
    } catch (const SettingsError &e) {
        return e.message();
    }
    return u"no SettingsError"_s;
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

    QString file_;
    QString folder() const { return QFileInfo(file_).absolutePath(); }
    QString list() const { return folder() + u"/typed-addresses.json"_s; }
    QString copy() const { return QDir(folder()).filePath(files(u"*.damaged-*"_s).value(0)); }
    QStringList files(const QString &pattern = u"*"_s) const
    {
        return QDir(folder()).entryList({pattern}, QDir::Files, QDir::Name);
    }

private slots:
    void init()
    {
        Scratch(true);
        file_ = SettingsStore::DefaultPath();
        msgbox::seam::Enable();
    }

    void cleanup() { QCOMPARE(ShownTexts(), QStringList()); } // no stray message

    void options_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("def");
        QTest::addColumn<bool>("on");   // read at start-up
        QTest::addColumn<int>("state"); // shown by the Options dialog
        const auto row = [](const char *stored, const char *def, bool on, int state) {
            QTest::addRow("'%s' default '%s'", stored, def) << stored << def << on << state;
        };
        row(" 1.0 ", "0", true, 1);
        row("0", "1", false, 0);
        row("2", "1", false, 2);
        row("3", "0", false, 0);
        row("-1", "1", false, 1);
        // The dialog converts as to a 16-bit integer, halves to even.
        row("0.5", "1", false, 0);
        row("0.6", "1", false, 1);
        row("2.5", "1", false, 2);
        row("abc", "1", true, 1); // not numbers: the default
        row("inf", "1", true, 1);
        row("x", "y", false, 0);
    }

    void options()
    {
        QFETCH(QString, stored);
        QFETCH(QString, def);
        QTEST(OptionIsOn(stored, def), "on");
        QTEST(OptionCheckState(stored, def), "state");
    }

    void unescape_data()
    {
        QTest::addColumn<QString>("escaped");
        QTest::addColumn<QString>("text");
        QTest::newRow("hex digits") << u"\\x90\\xaf\\xAF\\u00Fe"_s << u"\u0090\u00af\u00af\u00fe"_s;
        for (const char *bad : {"\\", "a\\", "\\q", "\\x4", "\\xZZ", "\\xg0", "\\u12", "\\u12G4"})
            QTest::newRow(bad) << QString::fromLatin1(bad) << u"<refused>"_s;
    }

    void unescape()
    {
        QFETCH(QString, escaped);
        QString out;
        QTEST(settingsfile::Unescape(escaped, &out) ? out : u"<refused>"_s, "text");
    }

    void set_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QByteArray>("after"); // once k=v is set in section of P
        QTest::newRow("after the section's last entry")
            << "[P/s]\na=1\n\n[P/t]\nk=0\n[Q/s]\nk=0\n"_ba << u"s"_s
            << "[P/s]\na=1\nk=v\n\n[P/t]\nk=0\n[Q/s]\nk=0\n"_ba;
        QTest::newRow("replacing, comments kept")
            << "; note\n[P/s]\n  K =0\n# end\n"_ba << u"S"_s << "; note\n[P/s]\nk=v\n# end\n"_ba;
        QTest::newRow("a new section")
            << "[P/s]\na=1"_ba << u"t"_s << "[P/s]\na=1\n\n[P/t]\nk=v\n"_ba;
    }

    void set()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        settingsfile::Document doc = settingsfile::Parse(before);
        doc.Set(u"P"_s, section, u"k"_s, u"v"_s);
        QTEST(settingsfile::Serialize(doc), "after");
        // Found again by its names in any letter case.
        QCOMPARE(doc.Find(u"p"_s, section.toUpper(), u"K"_s).value_or(QString()), u"v"_s);
    }

    void anyText_comesBackExactly_data()
    {
        QTest::addColumn<QString>("text");
        // Blanks at either end, line ends, what means something in the file,
        // escapes, other scripts, odd blanks and line ends, controls, NUL and
        // halves of surrogate pairs.
        const QStringList pieces =
            u"| |  both ends  |\t\n\r\n|=[a/b];#|\\|\\n\\x41\\s|é ß Ω 中文 😀 👩‍💻|"
            u"\u0085\u2028\uFEFF\u00A0|\u007F\u0001\u001A\u001B"_s.split(u'|')
            << QChar(0) + u"x"_s << QString(QChar(0xD800)) << QChar(0xDFFF) + u"y"_s;
        for (const QString &text : pieces)
            QTest::addRow("hex %s", text.toUtf8().toHex().constData()) << text;
    }

    void anyText_comesBackExactly()
    {
        // As value and as every name, the second write re-reading the first.
        QFETCH(QString, text);
        write(kUrl, text);
        SettingsStore().WriteSetting(text, text, text, text);
        QCOMPARE(read(kUrl), text);
        QCOMPARE(read(text, text, text), text);
    }

    // Reading an entry not there gives the default and makes nothing; a
    // write cut short keeps the old file and leaves no temporary file.
    void missingEntry_madeByWrite_keptWhenWriteCutShort()
    {
        QCOMPARE(read(kUrl), u"<none>"_s);
        QVERIFY(!QFileInfo::exists(folder()));
        write(kUrl, u"old"_s);
        const QByteArray before = readBytes(file_);
        // A file size limit makes the write fail part way, as a full disk
        // would: in the new file, or in the copy of a damaged one kept aside.
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit limit = {4096, saved.rlim_max};
        for (const QByteArray &file : {before + QByteArray(5000, '?'), before}) {
            writeBytes(file_, file);
            setrlimit(RLIMIT_FSIZE, &limit);
            const QString message = failure([] { write(kUrl, QString(20000, u'x')); });
            setrlimit(RLIMIT_FSIZE, &saved);
            QVERIFY2(message.contains(file_), qPrintable(message));
            QCOMPARE(readBytes(file_), file);
        }
        // So does a machine out of memory: told, nothing written.
        const QString huge(50000000, u'x'); // more than the heap keeps free
        const ulong pages = readBytes(u"/proc/self/statm"_s).split(' ')[0].toULong(); // in use now
        limit.rlim_cur = pages * ::sysconf(_SC_PAGESIZE) + (16 << 20);
        getrlimit(RLIMIT_AS, &saved);
        setrlimit(RLIMIT_AS, &limit);
        const QString oom = failure([&huge] { write(kUrl, huge); });
        setrlimit(RLIMIT_AS, &saved);
        QVERIFY2(oom.contains(file_) && oom.contains(u"cannot be written"_s), qPrintable(oom));
        QCOMPARE(readBytes(file_), before);
        QCOMPARE(files(), QStringList({"pagecrier.ini", "pagecrier.ini.lock"}));
        // For the user's eyes only: it may hold a mail address.
        QCOMPARE(QFileInfo(file_).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        // Below XDG_CONFIG_HOME, looked up on each call; a relative one is ignored.
        QCOMPARE(file_, QDir::homePath() + u"/config/pagecrier/pagecrier.ini"_s);
        qputenv("XDG_CONFIG_HOME", "relative");
        QCOMPARE(SettingsStore().path(), QDir::homePath() + u"/.config/pagecrier/pagecrier.ini"_s);
        // Root (in a container whose HOME is "/", say) may have to make a
        // folder right below "/" first.
        if (::geteuid() == 0) {
            const QString top = u"/pagecrier-test-%1"_s.arg(::getpid());
            auto remove = qScopeGuard([top] { QDir(top).removeRecursively(); });
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(top));
            QCOMPARE(failure([] { write(kUrl, u"x"_s); }), u"no SettingsError"_s);
            // Then the folders are given to a user; a write of theirs
            // replaces the file and lock that root (a run with sudo) left.
            for (const QString &folder : {top, top + u"/pagecrier"_s})
                QVERIFY(::chown(QFile::encodeName(folder).constData(), 65534, 65534) == 0);
            QVERIFY(::chmod(QFile::encodeName(SettingsStore().path()).constData(), 0644) == 0);
            QVERIFY(::setegid(65534) == 0 && ::seteuid(65534) == 0);
            const QString message = failure([] { write(kName, u"Ann"_s); });
            QVERIFY(::seteuid(0) == 0 && ::setegid(0) == 0);
            QCOMPARE(message, u"no SettingsError"_s);
            QCOMPARE(read(kUrl) + read(kName), u"xAnn"_s);
            QCOMPARE(QFileInfo(SettingsStore().path()).ownerId(), 65534u);
        }
    }

    // Reads and writes fail naming the file (and where a link leads) when it
    // is no regular file, or a link to anything but a regular file of the
    // user's own; a refused link makes nothing. A link to the user's own file
    // is written through and stays a link, the file keeping its mode.
    void unusable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("link");
        for (const char *kind : {"own file", "another user's file", "folder", "dangling"})
            QTest::newRow(kind) << kind << true;
        if (::geteuid() == 0)
            QTest::newRow("made by another user") << u"their link"_s << true;
        for (const char *kind : {"pipe", "a folder", "in a file"})
            QTest::newRow(kind) << kind << false;
    }

    void unusable()
    {
        QFETCH(QString, kind);
        QFETCH(bool, link);
        const QString target = Scratch().filePath(u"elsewhere/target"_s);
        if (kind == u"in a file")
            writeBytes(folder(), "not a folder");
        QDir().mkpath(kind == u"a folder" ? file_ : folder());
        QDir().mkpath(kind == u"folder" ? target : QFileInfo(target).path());
        if (kind == u"pipe")
            QVERIFY(mkfifo(QFile::encodeName(file_).constData(), 0600) == 0);
        if (kind == u"own file" || kind == u"another user's file" || kind == u"their link")
            writeBytes(target, "[Pagecrier/favs]\n");
        // Not ours: a file root gives away, or one of the system's, which no
        // user but root may change.
        QString victim = link ? target : file_;
        if (kind.startsWith(u"another") &&
            ::chown(QFile::encodeName(target).constData(), 65534, 65534) != 0)
            victim = u"/etc/passwd"_s;
        QVERIFY(!link || QFile::link(victim, file_));
        if (kind == u"their link")
            QVERIFY(::lchown(QFile::encodeName(file_).constData(), 65534, 65534) == 0);
        const QFile::Permissions mode = QFile::permissions(target);
        if (kind == u"own file") {
            write(kUrl, u"through"_s);
            QCOMPARE(read(kUrl), u"through"_s);
            QVERIFY(QFileInfo(file_).isSymLink() && QFile::permissions(target) == mode);
            return;
        }
        for (const QString &message :
             {failure([] { read(kUrl); }), failure([] { write(kUrl, u"x"_s); })})
            QVERIFY2(message.contains(file_) && message.contains(victim), qPrintable(message));
        if (link) // refused before anything is made, the lock first
            QVERIFY(!QFileInfo::exists(victim + ".lock") && !QFileInfo::exists(file_ + ".lock"));
    }

    // A file too large (or, for the list, no list at all) is not read; the
    // next write keeps it aside whole and starts afresh. A list is private,
    // whatever it was, and holds no over-long address.
    void keptAside_data()
    {
        QTest::addColumn<bool>("isList");
        QTest::addColumn<qint64>("size"); // sparse, or filled with line
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("settings, 64 GiB") << false << (qint64(64) << 30) << QByteArray();
        QTest::newRow("settings, too many entries")
            << false << qint64(4 * (settingsfile::kMaxLines + 1)) << "k=v\n"_ba;
        QTest::newRow("list, not a list") << true << qint64(1) << "j"_ba;
    }

    void keptAside()
    {
        QFETCH(bool, isList);
        QFETCH(qint64, size);
        QFETCH(QByteArray, line);
        const QString path = isList ? list() : file_;
        writeBytes(path, line.repeated(size / qMax(line.size(), 1)));
        QVERIFY(QFile::resize(path, size));
        QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0755) == 0); // others may look in
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0644) == 0);     // and read
        if (isList) {
            AddressList addresses(list());
            QVERIFY(addresses.Remember(u"http://new/"_s));
            QVERIFY(addresses.Remember("http://" + QString(AddressList::kMaxAddressLength, 'x')));
            // Nothing of the old file, nor the over-long address.
            QCOMPARE(addresses.entries(), QStringList{u"http://new/"_s});
            const auto others = QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther;
            QVERIFY(
                !(QFile::permissions(list()) & others || QFile::permissions(folder()) & others));
        } else {
            const QString message = failure([] { read(kUrl); });
            QVERIFY2(message.contains(file_) && message.contains(QString::number(size)),
                     qPrintable(message));
            write(kUrl, u"new"_s);
            QVERIFY(ShownTexts().value(0).contains(copy()));
        }
        QCOMPARE(QFileInfo(copy()).size(), size);
    }

    // A file of exactly its bound (as the README gives it) is read; one byte
    // more and it is not.
    void bound_readUpToTheByte()
    {
        for (int over : {0, 1}) {
            writeBytes(file_, "[Pagecrier/favs]\nurl=x\n"_ba.leftJustified((1 << 20) + over, ' '));
            writeBytes(list(), "{\"format\":\"pagecrier-addresses\",\"addresses\":[\"y\"]}"_ba
                                   .leftJustified((4 << 20) + over, ' '));
            QString url;
            failure([&url] { url = read(kUrl); });
            AddressList addresses(list());
            addresses.Load();
            QCOMPARE(url + addresses.entries().join(','), over ? QString() : u"xy"_s);
        }
        // Nor is one that reads longer than its size says (as /proc's files
        // do) and passes the bound as it is read.
        const size_t page = ::sysconf(_SC_PAGESIZE), pages = 30000;
        auto *area = static_cast<char *>(
            ::mmap(nullptr, pages * page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        for (size_t i = 0; i < pages; i += 2) // each a line of /proc/self/maps
            ::mprotect(area + i * page, page, PROT_READ);
        QVERIFY(QFile::remove(file_) && QFile::link(u"/proc/self/maps"_s, file_));
        QVERIFY(failure([] { read(kUrl); }).contains(file_));
        ::munmap(area, pages * page);
    }

    void damagedFile_readableUsed_copyKept_userTold()
    {
        // A heading that is not UTF-8 still ends the section above it.
        const QByteArray damaged(
            "\xEF\xBB\xBForphan=before any heading\n[Pagecrier/favs]\n  url  =http://kept/ \r\n"
            "no equals sign\nbad=\\q escape\n\xff\xfe binary=junk\x80\nname1=Ann\n[broken heading\n"
            "lost=under the broken heading\n[Pagecrier/FAVS]\nmail=a@b.c\n[\xff/favs]\nlost=x");
        writeBytes(file_, damaged);
        QVERIFY(::chmod(QFile::encodeName(file_).constData(), 0640) == 0); // as the user set it
        // One line ends in a raw return, the others not: the return is content.
        const QStringList kept = {u"http://kept/ \r"_s, u"Ann"_s, u"a@b.c"_s};
        const auto stored = [] { return QStringList{read(kUrl), read(kName), read(kMail)}; };
        QCOMPARE(stored(), kept);
        QCOMPARE(read(u"lost"_s) + read(u"bad"_s), u"<none><none>"_s);
        QCOMPARE(readBytes(file_), damaged); // reading copies and tells nothing

        write(kStartup, u"1"_s);
        QCOMPARE(readBytes(copy()), damaged);
        const QStringList shown = ShownTexts();
        QVERIFY2(shown.size() == 1 && shown[0].contains(copy()) && shown[0].contains(file_),
                 qPrintable(shown.join('\n')));

        QCOMPARE(stored(), kept);
        write(kAuto, u"0"_s); // mended: no second copy, nothing told
        QCOMPARE(files(u"*.damaged-*"_s).size(), 1);
        QVERIFY(QFile::permissions(file_) & QFile::ReadGroup); // the mode the user set is kept
    }

    // Another copy saves favorites again and again and is then killed: every
    // read meanwhile, and the file after, hold one whole set; the next write
    // clears the dead writer's temporary files.
    void favorites_wholeSetsWhileSavingAndAfterKill()
    {
        const pid_t saver = ::fork(); // another copy, saving until it is killed
        QVERIFY(saver >= 0);
        // However the test ends, the saver is killed; in the saver, a save
        // that throws ends the process.
        auto reap = qScopeGuard([saver] { saver ? void(::kill(saver, SIGKILL)) : ::_exit(1); });
        for (int i = 0; saver == 0; ++i) { // each set one number, in every field
            const QString n = QString::number(i);
            SettingsStore(file_).WriteSettings(kApp, kSaveSection,
                                               {{kUrl, n}, {kName, n}, {kMail, n}});
        }
        QSet<QString> seen; // the numbers of the sets read, each read whole
        const auto readWhole = [&] {
            const QStringList got = SettingsStore().ReadSettings(
                kApp, kSection, {{kUrl, "-"}, {kName, "-"}, {kMail, "-"}});
            seen.insert(got[0]);
            return got.count(got[0]) == 3;
        };
        for (QDeadlineTimer deadline(20000); seen.size() < 50 && !deadline.hasExpired();)
            QVERIFY(readWhole());
        QCOMPARE(seen.size(), 50); // at least 49 of them the saver's
        reap.dismiss();
        QVERIFY(::kill(saver, SIGKILL) == 0 && ::waitpid(saver, nullptr, 0) == saver);
        QVERIFY(readWhole());
        writeBytes(file_ + ".tmp-ABCDEF", {}); // as a kill may leave
        write(kStartup, u"1"_s);
        QCOMPARE(files(u"*.tmp-*"_s), QStringList());
    }

    void twoWritersAtOnce_loseNothing()
    {
        const auto writer = [this](char prefix) {
            AddressList addresses(list());
            for (int i = 0; i < 100; ++i)
                addresses.Remember(u"http://%1/%2"_s.arg(prefix).arg(i));
        };
        std::thread other(writer, 'a');
        writer('b');
        other.join();
        AddressList after(list());
        after.Load();
        QCOMPARE(after.entries().size(), 200);
    }
};

PAGECRIER_TEST_MAIN(TestSettingsStore)
#include "tst_settings_store.moc"
