// The settings store against real files: any text comes back exactly, names
// match in any case, nothing is cached, two writers lose nothing, failures
// name the file, and a damaged file is used, copied aside and never silently
// rewritten. Also the option readings and the file's text form.

#include "keys.h"
#include "settings_file.h"
#include "settings_store.h"
#include "test_support.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

using namespace Qt::StringLiterals;

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

QString read(const QString &key, const QString &app = keys::kApp,
             const QString &section = keys::kSection)
{
    return SettingsStore().ReadSetting(app, section, key, u"<none>"_s);
}

void write(const QString &key, const QString &value, const QString &app = keys::kApp,
           const QString &section = keys::kSection)
{
    SettingsStore().WriteSetting(app, section, key, value);
}

// The message of the SettingsError call throws, or a note that it threw none.
template <typename F> QString failure(F call)
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
        row("1", "0", true, 1);
        row(" 1.0 ", "0", true, 1);
        row("0", "1", false, 0);
        row("2", "1", false, 2);
        row("-1", "1", false, 1);
        // The dialog converts as to a 16-bit integer, halves to even.
        for (const auto &[text, state] : {std::pair{"0.5", 0},
                                          {"0.6", 1},
                                          {"1.4", 1},
                                          {"1.5", 2},
                                          {"2.5", 2},
                                          {"-0.4", 0},
                                          {"65537", 1}})
            row(text, "1", false, state);
        row("3", "0", false, 0);
        row("abc", "1", true, 1);
        row("", "0", false, 0);
        for (const char *text : {"nan", "inf", "-inf", "infinity", "1e999"})
            row(text, "1", true, 1); // not numbers: the default
        row("x", "y", false, 0);
    }

    void options()
    {
        QFETCH(QString, stored);
        QFETCH(QString, def);
        QFETCH(bool, on);
        QFETCH(int, state);
        QCOMPARE(OptionIsOn(stored, def), on);
        QCOMPARE(OptionCheckState(stored, def), state);
    }

    void unescape_data()
    {
        QTest::addColumn<QString>("escaped");
        QTest::addColumn<QString>("text"); // null: refused
        QTest::newRow("hex digits") << u"\\x90\\xaf\\xAF\\u00Fe"_s << u"\u0090\u00af\u00af\u00fe"_s;
        QTest::newRow("named") << u"\\s\\\\\\n\\r\\t\\0"_s << u" \\\n\r\t"_s + QChar(0);
        for (const char *bad : {"\\", "a\\", "\\q", "\\x4", "\\xZZ", "\\xg0", "\\u12", "\\u12G4"})
            QTest::newRow(bad) << QString::fromLatin1(bad) << QString();
    }

    void unescape()
    {
        QFETCH(QString, escaped);
        QFETCH(QString, text);
        QString out;
        QCOMPARE(settingsfile::Unescape(escaped, &out), !text.isNull());
        if (!text.isNull())
            QCOMPARE(out, text);
    }

    void set_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QByteArray>("after"); // once k=v is set in section
        const auto row = [](const char *name, const char *before, const char *section,
                            const char *after) {
            QTest::newRow(name) << QByteArray(before) << QString::fromLatin1(section)
                                << QByteArray(after);
        };
        row("after the section's last entry", "[P/s]\na=1\n\n[P/t]\nk=0\n", "s",
            "[P/s]\na=1\nk=v\n\n[P/t]\nk=0\n");
        row("into the last block of a section", "[P/s]\na=1\n[P/t]\n[P/S]\nb=1\n", "s",
            "[P/s]\na=1\n[P/t]\n[P/S]\nb=1\nk=v\n");
        row("replacing, comments kept", "; note\n[P/s]\n  K =0\n# end\n", "S",
            "; note\n[P/s]\nk=v\n# end\n");
        row("a new section", "[P/s]\na=1", "t", "[P/s]\na=1\n\n[P/t]\nk=v\n");
    }

    void set()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QByteArray, after);
        settingsfile::Document doc = settingsfile::Parse(before);
        doc.Set(u"P"_s, section, u"k"_s, u"v"_s);
        QCOMPARE(settingsfile::Serialize(doc), after);
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
        write(u"url"_s, text);
        write(text, text, text, text);
        QCOMPARE(read(u"url"_s), text);
        QCOMPARE(read(text, text, text), text);
        QCOMPARE(settingsfile::Parse(readBytes(file_)).problems, QStringList());
    }

    void names_anyLetterCase_sameEntry_nothingCached()
    {
        write(u"url"_s, u"http://a/"_s, keys::kApp, keys::kSaveSection);
        QCOMPARE(read(u"URL"_s, u"pAgEcRiEr"_s, u"FAVS"_s), u"http://a/"_s);
        const SettingsStore kept;
        write(u"Url"_s, u"http://b/"_s, u"PAGECRIER"_s, u"fAvS"_s); // replaces the one entry
        QCOMPARE(kept.ReadSetting(keys::kApp, keys::kSection, keys::kUrl, {}), u"http://b/"_s);
        QCOMPARE(QString::fromUtf8(readBytes(file_)).count(u"url="_s, Qt::CaseInsensitive), 1);
        QCOMPARE(read(u"url"_s, keys::kApp, u"fav"_s), u"<none>"_s);
        QCOMPARE(read(u"url"_s, u"Other"_s), u"<none>"_s);
    }

    void missingEntry_givesDefault_createsNothing()
    {
        QCOMPARE(read(u"url"_s), u"<none>"_s);
        QVERIFY(!QFileInfo::exists(folder()));
        write(u"url"_s, u"x"_s);
        const QByteArray before = readBytes(file_);
        QCOMPARE(read(u"mail"_s), u"<none>"_s);
        QCOMPARE(readBytes(file_), before);
        QCOMPARE(files(), QStringList({"pagecrier.ini", "pagecrier.ini.lock"}));
        // For the user's eyes only: it may hold a mail address.
        QCOMPARE(QFileInfo(file_).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
        // Below XDG_CONFIG_HOME, looked up on each call; a relative one is ignored.
        QCOMPARE(file_, QDir::homePath() + u"/config/pagecrier/pagecrier.ini"_s);
        qputenv("XDG_CONFIG_HOME", "relative");
        QCOMPARE(SettingsStore().path(), QDir::homePath() + u"/.config/pagecrier/pagecrier.ini"_s);
    }

    void unusableFile_failsNamingIt_data()
    {
        QTest::addColumn<QString>("what");
        for (const char *what : {"folder is a file", "file is a folder", "file is a pipe"})
            QTest::newRow(what) << what;
    }

    void unusableFile_failsNamingIt()
    {
        QFETCH(QString, what);
        if (what.startsWith(u"folder"_s))
            writeBytes(folder(), "not a folder");
        else if (what.endsWith(u"folder"_s))
            QVERIFY(QDir().mkpath(file_));
        else
            QVERIFY(QDir().mkpath(folder()) &&
                    mkfifo(QFile::encodeName(file_).constData(), 0600) == 0);
        const QString onRead = failure([] { read(u"url"_s); });
        const QString onWrite = failure([] { write(u"url"_s, u"x"_s); });
        QVERIFY2(onRead.contains(file_), qPrintable(onRead));
        QVERIFY2(onWrite.contains(file_), qPrintable(onWrite));
    }

    void writeCutShort_keepsTheOldFile()
    {
        write(u"url"_s, u"old"_s);
        const QByteArray before = readBytes(file_);
        // A file size limit makes the write fail part way, as a full disk would.
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit saved;
        getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit limit = {4096, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        const QString message = failure([] { write(u"url"_s, QString(20000, u'x')); });
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY2(message.contains(file_), qPrintable(message));
        QCOMPARE(readBytes(file_), before);
        QCOMPARE(files(), QStringList({"pagecrier.ini", "pagecrier.ini.lock"}));
    }

    void twoWritersAtOnce_loseNothing()
    {
        const auto writer = [](const QString &prefix) {
            for (int i = 0; i < 100; ++i)
                write(prefix + QString::number(i), QString::number(i));
        };
        std::thread a(writer, u"a"_s);
        std::thread b(writer, u"B"_s);
        a.join();
        b.join();
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(read(u"a%1"_s.arg(i)), QString::number(i));
            QCOMPARE(read(u"B%1"_s.arg(i)), QString::number(i));
        }
    }

    void symbolicLink_staysALink()
    {
        const QString real = Scratch().filePath(u"dotfiles/pagecrier.ini"_s);
        writeBytes(real, "[Pagecrier/favs]\nname1=Ann\n");
        QVERIFY(QDir().mkpath(folder()) && QFile::link(real, file_));
        write(u"url"_s, u"http://x/"_s);
        QVERIFY(QFileInfo(file_).isSymLink());
        QVERIFY(readBytes(real).contains("name1=Ann\nurl=http://x/\n"));
    }

    void damagedFile_readableUsed_copyKept_userTold()
    {
        const QByteArray damaged(
            "\xEF\xBB\xBForphan=before any heading\n[Pagecrier/favs]\n  url  =http://kept/ \r\n"
            "no equals sign\nbad=\\q escape\n\xff\xfe binary=junk\x80\nname1=Ann\n[broken heading\n"
            "lost=under the broken heading\n[Pagecrier/FAVS]\nmail=a@b.c");
        writeBytes(file_, damaged);
        // One line ends in a raw return, the others not: the return is content.
        const QStringList kept = {u"http://kept/ \r"_s, u"Ann"_s, u"a@b.c"_s};
        const auto stored = [] {
            return QStringList{read(keys::kUrl), read(keys::kName), read(keys::kMail)};
        };
        QCOMPARE(stored(), kept);
        QCOMPARE(read(u"lost"_s) + read(u"bad"_s), u"<none><none>"_s);
        QCOMPARE(readBytes(file_), damaged); // reading copies and tells nothing

        write(u"startup"_s, u"1"_s);
        const QStringList copies = files(u"pagecrier.ini.damaged-*"_s);
        QCOMPARE(copies.size(), 1);
        const QString copy = QDir(folder()).filePath(copies.first());
        QCOMPARE(readBytes(copy), damaged);
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QVERIFY(shown.size() == 1 &&
                shown[0].style == (msgbox::MB_OK | msgbox::MB_ICONINFORMATION));
        QVERIFY2(shown[0].text.contains(copy) && shown[0].text.contains(file_),
                 qPrintable(shown[0].text));

        QCOMPARE(stored(), kept);
        QCOMPARE(settingsfile::Parse(readBytes(file_)).problems, QStringList());
        write(u"auto"_s, u"0"_s); // mended: no second copy, nothing told
        QCOMPARE(files(u"pagecrier.ini.damaged-*"_s).size(), 1);
    }
};

PAGECRIER_TEST_MAIN(TestSettingsStore)
#include "tst_settings_store.moc"
