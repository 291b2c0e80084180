// The settings store against real files and real processes: any text comes
// back exactly, names match in any case, nothing is cached, two writers lose
// nothing, failures name the file, and a damaged file is used, copied aside
// and never silently rewritten.
//
// The executable doubles as its own helper process: started with a first
// argument "helper-..." it does one job on a store and exits (see helperMain).

#include "keys.h"
#include "msgbox.h"
#include "settings_file.h"
#include "settings_store.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::string_literals;

namespace {

using Pairs = QList<QPair<QString, QString>>;

const QString kApp = u"Pagecrier"_s;
const QString kSec = u"favs"_s;

QString get(const SettingsStore &store, const QString &key, const QString &def = QString())
{
    return store.ReadSetting(kApp, kSec, key, def);
}

void put(SettingsStore store, const QString &key, const QString &value)
{
    store.WriteSetting(kApp, kSec, key, value);
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList sortedFiles(const QString &folder, const QStringList &patterns = {})
{
    QStringList names = QDir(folder).entryList(patterns, QDir::Files);
    names.sort();
    return names;
}

QStringList parseProblems(const QString &file)
{
    return settingsfile::Parse(readBytes(file)).problems;
}

// Whether a failure message names the file and, given one, the cause.
bool names(const QString &message, const QString &file, int err = 0)
{
    return message.contains(file) &&
           (err == 0 || message.contains(QString::fromLocal8Bit(strerror(err))));
}

// call must throw a SettingsError that names file (and the cause err).
template <typename F> void checkFails(F call, const QString &file, int err = 0)
{
    QString message = u"no SettingsError was thrown"_s;
    try {
        call();
    } catch (const SettingsError &e) {
        message = e.message();
    }
    QVERIFY2(names(message, file, err), qPrintable(message));
}

// Texts cross the process boundary through QDataStream, which keeps every
// UTF-16 unit, lone halves of pairs included.
template <typename T> QByteArray toBytes(const T &value)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << value;
    return bytes;
}

template <typename T> T fromBytes(const QByteArray &bytes)
{
    T value;
    QDataStream in(bytes);
    in >> value;
    return value;
}

// Where two texts first differ, readably.
QByteArray describeDifference(const QString &got, const QString &want)
{
    qsizetype i = 0;
    while (i < got.size() && i < want.size() && got.at(i) == want.at(i))
        ++i;
    const auto unit = [i](const QString &s) {
        return i < s.size() ? QString::number(s.at(i).unicode(), 16) : u"end"_s;
    };
    return u"lengths %1 and %2, first difference at unit %3 (got U+%4, want U+%5)"_s.arg(got.size())
        .arg(want.size())
        .arg(i)
        .arg(unit(got), unit(want))
        .toUtf8();
}

void checkValue(const char *where, const QString &key, const QString &got, const QString &want)
{
    if (got != want)
        QFAIL((QByteArray(where) + ", key " + key.toUtf8() + ": " + describeDifference(got, want))
                  .constData());
}

// Every pair read back through store.
void checkValues(const char *where, const SettingsStore &store, const Pairs &pairs)
{
    for (const auto &[key, value] : pairs) {
        checkValue(where, key, get(store, key, u"<none>"_s), value);
        if (QTest::currentTestFailed())
            return;
    }
}

// Every character a settings file could trip over, and some plain ones.
QStringList textPieces()
{
    QStringList pieces = {
        u" "_s,      u"  "_s,          u"\t"_s,     u"\n"_s,
        u"\r"_s,     u"\r\n"_s,        u"="_s,      u"["_s,
        u"]"_s,      u";"_s,           u"#"_s,      u"@"_s,
        u"%"_s,      u"\""_s,          u"'"_s,      u"\\"_s,
        u"\\n"_s,    u"\\s"_s,         u"\\x41"_s,  u"\\u0041"_s,
        u"/"_s,      u"[a/b]"_s,       u"k=v"_s,    u"a"_s,
        u"Z"_s,      u"0"_s,           u"1"_s,      u"http://example.com/?a=1&b=2"_s,
        u"é"_s,      u"ß"_s,           u"Ω"_s,      u"中文"_s,
        u"😀"_s,      u"👩‍💻"_s, u"\u0085"_s, u"\u2028"_s,
        u"\uFEFF"_s, u"\u00A0"_s,      u"\u007F"_s, u"\u0001"_s,
        u"\u001B"_s};
    pieces << QString(QChar(0)) << QString(QChar(0xD800)) << QString(QChar(0xDFFF));
    return pieces;
}

QString randomText(QRandomGenerator &rng, const QStringList &pieces, qsizetype length)
{
    QString s;
    s.reserve(length + 16);
    while (s.size() < length)
        s += pieces.at(rng.bounded(int(pieces.size())));
    s.truncate(length); // may cut a pair in half: a lone half is text too
    return s;
}

template <typename T> void optionRow(const char *name, const char *stored, const char *def, T want)
{
    QTest::newRow(name) << QString::fromLatin1(stored) << QString::fromLatin1(def) << want;
}

// ---- helper process --------------------------------------------------------

// The value helper-hammer writes as its i-th entry.
QString hammerValue(int i, int length)
{
    return QString::number(i) + QString(length, u'v');
}

// Drops root, so that file permissions apply as they do to any user.
void becomeNobody()
{
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
        std::perror("setuid");
        std::exit(3);
    }
}

int helperMain(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString job = args.value(1);
    SettingsStore store(args.value(2));
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        if (job == "helper-dump"_L1) {
            // helper-dump <file> <pairs file>: the stored values of its keys.
            QStringList values;
            for (const auto &pair : fromBytes<Pairs>(readBytes(args.value(3))))
                values << get(store, pair.first, u"<none>"_s);
            const QByteArray bytes = toBytes(values);
            std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
        } else if (job == "helper-write"_L1) {
            // helper-write <file> <pairs file>: writes the pairs.
            for (const auto &[key, value] : fromBytes<Pairs>(readBytes(args.value(3))))
                put(store, key, value);
        } else if (job == "helper-hammer"_L1) {
            // helper-hammer <file> <prefix> <count> <value length>
            for (int i = 0, count = args.value(4).toInt(); i < count; ++i) {
                put(store, args.value(3) + QString::number(i),
                    hammerValue(i, args.value(5).toInt()));
                std::printf("wrote %d\n", i);
            }
        } else if (job == "helper-read-as-nobody"_L1) {
            becomeNobody();
            std::printf("OK:%s\n", qPrintable(get(store, u"url"_s, u"<none>"_s)));
        } else if (job == "helper-write-as-nobody"_L1) {
            becomeNobody();
            put(store, u"url"_s, u"new"_s);
            std::printf("OK\n");
        } else if (job == "helper-write-over-limit"_L1) {
            // The size limit makes the write fail part way, as a full disk would.
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            put(store, u"url"_s, QString(20000, u'x'));
            std::printf("OK\n");
        } else {
            std::fprintf(stderr, "unknown helper job\n");
            return 2;
        }
    } catch (const SettingsError &e) {
        std::printf("ERROR:%s\n", qPrintable(e.message()));
    }
    return 0;
}

struct HelperResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

HelperResult runHelper(const QStringList &args)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), args);
    HelperResult r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = "helper did not finish";
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// The helper must finish and report a failure naming file and the cause err.
void checkHelperFails(const QString &job, const QString &file, int err)
{
    const HelperResult r = runHelper({job, file});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QVERIFY2(r.out.startsWith("ERROR:") && names(QString::fromUtf8(r.out), file, err),
             r.out.constData());
}

void startHammer(QProcess &p, const QString &file, const QString &prefix, int count, int length)
{
    p.start(QCoreApplication::applicationFilePath(),
            {u"helper-hammer"_s, file, prefix, QString::number(count), QString::number(length)});
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

    QTemporaryDir configHome_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString file_;

    QString folder() const { return QFileInfo(file_).absolutePath(); }

    // The pairs in a file a helper process reads.
    QString pairsFile(const Pairs &pairs)
    {
        const QString path = dir_->filePath(u"pairs.bin"_s);
        writeBytes(path, toBytes(pairs));
        return path;
    }

    // Checks every pair through a fresh store object and a fresh process.
    void checkReadBack(const QString &file, const Pairs &pairs)
    {
        checkValues("fresh store", SettingsStore(file), pairs);
        if (QTest::currentTestFailed())
            return;
        const HelperResult r = runHelper({u"helper-dump"_s, file, pairsFile(pairs)});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        const QStringList got = fromBytes<QStringList>(r.out);
        QCOMPARE(got.size(), pairs.size());
        for (qsizetype i = 0; i < pairs.size() && !QTest::currentTestFailed(); ++i)
            checkValue("fresh process", pairs.at(i).first, got.at(i), pairs.at(i).second);
    }

    // Writes the pairs to file_ from another process.
    void writeInHelper(const Pairs &pairs)
    {
        const HelperResult r = runHelper({u"helper-write"_s, file_, pairsFile(pairs)});
        QVERIFY2(r.exitCode == 0 && r.out.isEmpty(), QByteArray(r.out + r.err).constData());
    }

private slots:
    void initTestCase()
    {
        // Nothing here may touch the real user's settings.
        QVERIFY(configHome_.isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
    }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        file_ = dir_->filePath(u"pagecrier/pagecrier.ini"_s);
        msgbox::seam::Enable();
    }

    void cleanup()
    {
        // Nothing under test may show a message it was not asked for.
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);
        // A test that makes a folder unreadable must not stop its removal.
        QProcess::execute(u"chmod"_s, {u"-R"_s, u"u+rwx"_s, dir_->path()});
        dir_.reset();
    }

    void roundTrip_anyText_throughFreshStoreAndProcess()
    {
        const quint32 seed = qEnvironmentVariableIsSet("PAGECRIER_TEST_SEED")
                                 ? quint32(qEnvironmentVariableIntValue("PAGECRIER_TEST_SEED"))
                                 : 20240611u;
        qInfo("random texts from seed %u (set PAGECRIER_TEST_SEED to change it)", seed);
        QRandomGenerator rng(seed);
        const QStringList pieces = textPieces();

        // 2400 texts in rounds of 300, a file per round to keep it small; each
        // round starts with every piece alone.
        for (int round = 0; round < 8; ++round) {
            const QString file = dir_->filePath(u"round%1/pagecrier.ini"_s.arg(round));
            SettingsStore writer(file);
            Pairs pairs;
            for (int i = 0; i < 300; ++i) {
                QString value;
                if (i < pieces.size())
                    value = pieces.at(i);
                else if (i % 50 != 0)
                    value = randomText(rng, pieces, rng.bounded(i % 7 == 0 ? 2000 : 40));
                pairs.append({u"k%1"_s.arg(i), value});
                put(writer, pairs.last().first, value);
            }
            checkValues("writer", writer, pairs);
            checkReadBack(file, pairs);
            if (QTest::currentTestFailed())
                return;
            // Whatever was written, the file parses without a single bad line.
            QCOMPARE(parseProblems(file), QStringList());
        }
    }

    void roundTrip_largeTexts()
    {
        QRandomGenerator rng(7);
        const QStringList pieces = textPieces();
        // Every character of "escapes64k" needs an escape: its file line is largest.
        const QStringList escaped = {u"\\"_s, QString(QChar(0)), u"\n"_s, QString(QChar(0xDC00))};
        // Together within the store's bound of 1 MiB.
        const Pairs pairs = {
            {u"mixed64k"_s, randomText(rng, pieces, 1 << 16)},
            {u"escapes64k"_s, randomText(rng, escaped, 1 << 16)},
            {u"plain128k"_s, QString(1 << 17, u'a')},
            {u"mixed40k"_s, randomText(rng, pieces, 40000)},
            {u"small"_s, u" small "_s},
        };
        SettingsStore writer(file_);
        for (const auto &[key, value] : pairs)
            put(writer, key, value);
        checkReadBack(file_, pairs);
    }

    void roundTrip_writtenByAnotherProcess()
    {
        QRandomGenerator rng(99);
        const QStringList pieces = textPieces();
        Pairs pairs;
        for (int i = 0; i < 300; ++i)
            pairs.append({u"p%1"_s.arg(i), randomText(rng, pieces, rng.bounded(60))});
        pairs.append({u"big"_s, randomText(rng, pieces, 200000)});
        writeInHelper(pairs);
        checkValues("reader", SettingsStore(file_), pairs);
    }

    void names_anyLetterCase_addressSameEntry()
    {
        SettingsStore store(file_);
        // The Save command writes under "Favs"; everyone else reads "favs".
        store.WriteSetting(keys::kApp, keys::kSaveSection, keys::kUrl, u"http://a/"_s);
        for (const QString &app :
             {u"Pagecrier"_s, u"PAGECRIER"_s, u"pagecrier"_s, u"pAgEcRiEr"_s}) {
            for (const QString &section : {u"favs"_s, u"Favs"_s, u"FAVS"_s}) {
                for (const QString &key : {u"url"_s, u"URL"_s})
                    QCOMPARE(SettingsStore(file_).ReadSetting(app, section, key, u"-"_s),
                             u"http://a/"_s);
            }
        }

        // Writing under another spelling replaces the one entry.
        store.WriteSetting(u"PAGECRIER"_s, u"FaVs"_s, u"Url"_s, u"http://b/"_s);
        QCOMPARE(store.ReadSetting(keys::kApp, keys::kSection, keys::kUrl, QString()),
                 u"http://b/"_s);
        int entries = 0;
        int headings = 0;
        for (const settingsfile::Line &line : settingsfile::Parse(readBytes(file_)).lines) {
            entries += line.kind == settingsfile::Line::Entry;
            headings += line.kind == settingsfile::Line::Section;
        }
        QCOMPARE(entries, 1);
        QCOMPARE(headings, 1);

        // Other sections and applications stay apart.
        QCOMPARE(store.ReadSetting(keys::kApp, u"fav"_s, keys::kUrl, u"-"_s), u"-"_s);
        QCOMPARE(store.ReadSetting(u"Other"_s, keys::kSection, keys::kUrl, u"-"_s), u"-"_s);
    }

    void names_oddCharacters_roundTrip()
    {
        SettingsStore store(file_);
        const QStringList names = {QString(),        u" lead"_s,       u"trail "_s,   u"a=b"_s,
                                   u"[x]"_s,         u"a/b"_s,         u";c"_s,       u"#c"_s,
                                   u"back\\slash"_s, u"line\nbreak"_s, u"Ünïcödé 😀"_s};
        // Every name as application and key, under a section that varies too.
        int n = 0;
        for (const QString &app : names) {
            for (const QString &key : names)
                store.WriteSetting(app, names.at(n++ % names.size()), key, app + key);
        }
        n = 0;
        for (const QString &app : names) {
            for (const QString &key : names)
                QCOMPARE(SettingsStore(file_).ReadSetting(app, names.at(n++ % names.size()), key,
                                                          u"<none>"_s),
                         app + key);
        }
        QCOMPARE(parseProblems(file_), QStringList());
    }

    void missingEntry_givesDefault_createsNothing()
    {
        SettingsStore store(file_);
        QCOMPARE(get(store, u"url"_s, u"dflt"_s), u"dflt"_s);
        QCOMPARE(get(store, u"url"_s), QString());
        QVERIFY(!QFileInfo::exists(folder()));

        // A file that lacks the application, the section or the key.
        put(store, u"url"_s, u"x"_s);
        const QByteArray before = readBytes(file_);
        const QStringList listing =
            QDir(folder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        QCOMPARE(store.ReadSetting(u"Else"_s, kSec, u"url"_s, u"d1"_s), u"d1"_s);
        QCOMPARE(store.ReadSetting(kApp, u"other"_s, u"url"_s, u"d2"_s), u"d2"_s);
        QCOMPARE(get(store, u"mail"_s, u"d3"_s), u"d3"_s);
        QCOMPARE(readBytes(file_), before);
        QCOMPARE(QDir(folder()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), listing);
    }

    void read_seesWriteOfAnotherProcess_nothingCached()
    {
        SettingsStore store(file_);
        put(store, u"startup"_s, u"0"_s);
        QCOMPARE(get(store, u"startup"_s), u"0"_s);
        writeInHelper({{u"startup"_s, u"1"_s}});
        QCOMPARE(get(store, u"startup"_s), u"1"_s);
    }

    void write_replacesEarlierValue_keepsOthers()
    {
        SettingsStore store(file_);
        put(store, u"url"_s, u"one"_s);
        put(store, u"name1"_s, u"me"_s);
        store.WriteSetting(kApp, u"other"_s, u"url"_s, u"o"_s);
        put(store, u"url"_s, u"two"_s);
        checkValues("fresh store", SettingsStore(file_),
                    {{u"url"_s, u"two"_s}, {u"name1"_s, u"me"_s}});
        QCOMPARE(SettingsStore(file_).ReadSetting(kApp, u"other"_s, u"url"_s, QString()), u"o"_s);
        // Long values shrink back.
        put(store, u"url"_s, QString(100000, u'x'));
        put(store, u"url"_s, u"short"_s);
        QVERIFY(QFileInfo(file_).size() < 1000);
    }

    void write_makesMissingFolders_leavesNoTemporaryFile()
    {
        const QString deep = dir_->filePath(u"a/b/c/pagecrier.ini"_s);
        SettingsStore store(deep);
        put(store, u"url"_s, u"x"_s);
        put(store, u"url"_s, u"y"_s);
        QCOMPARE(get(SettingsStore(deep), u"url"_s), u"y"_s);
        QCOMPARE(sortedFiles(QFileInfo(deep).absolutePath()),
                 (QStringList{u"pagecrier.ini"_s, u"pagecrier.ini.lock"_s}));
        // The settings may hold a mail address: for the user's eyes only.
        QCOMPARE(QFileInfo(deep).permissions() & (QFile::ReadOther | QFile::ReadGroup),
                 QFile::Permissions());
    }

    void defaultPath_followsEnvironmentOnEachCall()
    {
        const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
        const QByteArray savedHome = qgetenv("HOME");
        const auto restore = qScopeGuard([&] {
            qputenv("HOME", savedHome);
            qputenv("XDG_CONFIG_HOME", savedXdg);
        });
        const QString tail = u"/pagecrier/pagecrier.ini"_s;
        qputenv("XDG_CONFIG_HOME", "/somewhere/conf");
        QCOMPARE(SettingsStore::DefaultPath(), "/somewhere/conf" + tail);
        QCOMPARE(SettingsStore().path(), "/somewhere/conf" + tail);
        qputenv("XDG_CONFIG_HOME", "/elsewhere");
        QCOMPARE(SettingsStore::DefaultPath(), "/elsewhere" + tail);
        qputenv("HOME", "/home/someone");
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(SettingsStore::DefaultPath(), "/home/someone/.config" + tail);
        // A relative XDG_CONFIG_HOME is not to be used.
        qputenv("XDG_CONFIG_HOME", "relative/conf");
        QCOMPARE(SettingsStore::DefaultPath(), "/home/someone/.config" + tail);
    }

    void twoProcesses_writingAtOnce_loseNothing()
    {
        const int count = 200;
        QProcess a;
        QProcess b;
        startHammer(a, file_, u"a"_s, count, 10);
        startHammer(b, file_, u"B"_s, count, 10);
        for (QProcess *p : {&a, &b}) {
            QVERIFY(p->waitForFinished(240000));
            QCOMPARE(p->exitCode(), 0);
            QVERIFY2(!p->readAllStandardOutput().contains("ERROR"),
                     p == &a ? "writer a failed" : "writer B failed");
        }

        SettingsStore store(file_);
        int missing = 0;
        for (int i = 0; i < count; ++i) {
            missing += get(store, u"a%1"_s.arg(i)) != hammerValue(i, 10);
            missing += get(store, u"B%1"_s.arg(i)) != hammerValue(i, 10);
        }
        QCOMPARE(missing, 0);
        QCOMPARE(parseProblems(file_), QStringList());
    }

    void killedWriter_leavesWholeFile()
    {
        // Large values make each write long, so the kill lands inside one.
        QProcess writer;
        startHammer(writer, file_, u"k"_s, 100000, 40000);
        QVERIFY(writer.waitForStarted());
        QByteArray out;
        while (out.count('\n') < 15 && writer.state() == QProcess::Running) {
            writer.waitForReadyRead(10000);
            out += writer.readAllStandardOutput();
        }
        writer.kill();
        writer.waitForFinished();
        out += writer.readAllStandardOutput();
        const int reported = int(out.count('\n'));
        QVERIFY(reported >= 15);

        QCOMPARE(parseProblems(file_), QStringList());
        SettingsStore store(file_);
        for (int i = 0; i < reported; ++i)
            QCOMPARE(get(store, u"k%1"_s.arg(i)), hammerValue(i, 40000));
    }

    void readers_neverSeeHalfWrittenFile()
    {
        SettingsStore store(file_);
        put(store, u"sentinel"_s, u"here"_s);
        QProcess writer;
        startHammer(writer, file_, u"k"_s, 60, 100000);
        QVERIFY(writer.waitForStarted());
        int reads = 0;
        int torn = 0;
        while (writer.state() == QProcess::Running) {
            ++reads;
            torn += get(store, u"sentinel"_s) != "here"_L1;
            QCoreApplication::processEvents();
        }
        writer.waitForFinished();
        QCOMPARE(writer.exitCode(), 0);
        qInfo("%d reads while another process wrote", reads);
        QCOMPARE(torn, 0);
    }

    void folderIsRegularFile_failsNamingFileAndCause()
    {
        const QString blocker = dir_->filePath(u"pagecrier"_s);
        writeBytes(blocker, "not a folder");
        SettingsStore store(file_);
        checkFails([&] { put(store, u"url"_s, u"x"_s); }, file_, ENOTDIR);
        checkFails([&] { get(store, u"url"_s); }, file_, ENOTDIR);
        QCOMPARE(readBytes(blocker), QByteArray("not a folder"));
    }

    void fileIsFolder_failsNamingFile()
    {
        QVERIFY(QDir().mkpath(file_));
        SettingsStore store(file_);
        checkFails([&] { get(store, u"url"_s); }, file_);
        checkFails([&] { put(store, u"url"_s, u"x"_s); }, file_);
        QVERIFY(QFileInfo(file_).isDir());
    }

    void permissionDenied_failsNamingFile()
    {
        // The helper gives up root first, so permissions stop it as any user.
        put(SettingsStore(file_), u"url"_s, u"old"_s);
        QVERIFY(QFile::setPermissions(folder(), QFile::Permissions()));
        checkHelperFails(u"helper-read-as-nobody"_s, file_, EACCES);
        checkHelperFails(u"helper-write-as-nobody"_s, file_, EACCES);
        QCOMPARE(get(SettingsStore(file_), u"url"_s), u"old"_s);
    }

    void pipeInPlaceOfFile_failsWithoutHanging()
    {
        QVERIFY(QDir().mkpath(folder()));
        QCOMPARE(mkfifo(QFile::encodeName(file_).constData(), 0600), 0);
        SettingsStore store(file_);
        checkFails([&] { get(store, u"url"_s); }, file_);
        checkFails([&] { put(store, u"url"_s, u"x"_s); }, file_);
    }

    void symbolicLink_staysLink_targetUpdated()
    {
        const QString real = dir_->filePath(u"dotfiles/pagecrier.ini"_s);
        put(SettingsStore(real), u"name1"_s, u"Ann"_s);
        QVERIFY(QDir().mkpath(folder()));
        QVERIFY(QFile::link(u"../dotfiles/pagecrier.ini"_s, file_));

        SettingsStore store(file_);
        QCOMPARE(get(store, u"name1"_s), u"Ann"_s);
        put(store, u"url"_s, u"http://x/"_s);
        QVERIFY(QFileInfo(file_).isSymLink());
        checkValues("link target", SettingsStore(real),
                    {{u"url"_s, u"http://x/"_s}, {u"name1"_s, u"Ann"_s}});
    }

    void writeCutShort_keepsOldFile()
    {
        put(SettingsStore(file_), u"url"_s, u"old"_s);
        const QByteArray before = readBytes(file_);
        checkHelperFails(u"helper-write-over-limit"_s, file_, EFBIG);
        QCOMPARE(readBytes(file_), before);
        QCOMPARE(sortedFiles(folder()), (QStringList{u"pagecrier.ini"_s, u"pagecrier.ini.lock"_s}));
    }

    void damagedFile_readableEntriesUsed_copyKept_userTold()
    {
        QVERIFY(QDir().mkpath(folder()));
        const QByteArray damaged = QByteArray::fromStdString("orphan=before any heading\n"
                                                             "[Pagecrier/favs]\n"
                                                             "url=http://kept/\n"
                                                             "this line has no equals sign\n"
                                                             "bad=\\q escape\n"
                                                             "\xff\xfe\x00\x01 binary=junk\x80\n"
                                                             "name1=Ann\n"
                                                             "[broken heading\n"
                                                             "lost=under the broken heading\n"
                                                             "[Pagecrier/FAVS]\n"
                                                             "mail=a@b.c\n"
                                                             "\x00\x00\x00"s);
        writeBytes(file_, damaged);
        const Pairs kept = {
            {u"url"_s, u"http://kept/"_s}, {u"name1"_s, u"Ann"_s}, {u"mail"_s, u"a@b.c"_s}};
        const QStringList copyPattern = {u"pagecrier.ini.damaged-*"_s};

        // Reading uses what parses, and neither copies nor tells anything.
        SettingsStore store(file_);
        checkValues("damaged file", store, kept);
        QCOMPARE(get(store, u"lost"_s, u"-"_s), u"-"_s);
        QCOMPARE(get(store, u"bad"_s, u"-"_s), u"-"_s);
        QCOMPARE(readBytes(file_), damaged);
        QCOMPARE(sortedFiles(folder()), QStringList{u"pagecrier.ini"_s});
        QCOMPARE(msgbox::seam::ShownSoFar().size(), 0);

        // The first write keeps a copy and says where.
        put(store, u"startup"_s, u"1"_s);
        const QStringList copies = sortedFiles(folder(), copyPattern);
        QCOMPARE(copies.size(), 1);
        const QString copy = QDir(folder()).filePath(copies.first());
        QCOMPARE(readBytes(copy), damaged);
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.first().text.contains(copy) && shown.first().text.contains(file_),
                 qPrintable(shown.first().text));
        QCOMPARE(shown.first().style, msgbox::MB_OK | msgbox::MB_ICONINFORMATION);

        // The rewritten file holds what could be read, and the new entry.
        checkValues("rewritten file", SettingsStore(file_), kept + Pairs{{u"startup"_s, u"1"_s}});
        QCOMPARE(parseProblems(file_), QStringList());

        // Once mended, later writes neither copy nor tell.
        put(store, u"auto"_s, u"0"_s);
        QCOMPARE(sortedFiles(folder(), copyPattern).size(), 1);
        QCOMPARE(msgbox::seam::ShownSoFar().size(), 0);
    }

    void handEditedFile_readAsWritten_commentsKept()
    {
        QVERIFY(QDir().mkpath(folder()));
        writeBytes(file_, "\xEF\xBB\xBF; my own note\r\n"
                          "\r\n"
                          "  [ Pagecrier / Favs ]  \r\n"
                          "  url  =http://x/ \r\n"
                          "name1= spaced\r\n"
                          "# another note\r\n"
                          "mail=tab\there\r\n"
                          "url=http://last-wins/");
        SettingsStore store(file_);
        const Pairs asWritten = {{u"url"_s, u"http://last-wins/"_s},
                                 {u"name1"_s, u" spaced"_s},
                                 {u"mail"_s, u"tab\there"_s}};
        checkValues("hand-edited file", store, asWritten);

        put(store, u"startup"_s, u"1"_s);
        const QByteArray after = readBytes(file_);
        QVERIFY2(after.contains("; my own note\n") && after.contains("# another note\n"),
                 after.constData());
        QCOMPARE(settingsfile::Parse(after).problems, QStringList());
        QCOMPARE(msgbox::seam::ShownSoFar().size(), 0);
        checkValues("after a write", store, asWritten + Pairs{{u"startup"_s, u"1"_s}});
    }

    void unescape_rejectsBadEscapes()
    {
        QString out;
        for (const char *bad : {"\\", "a\\", "\\q", "\\x4", "\\xZZ", "\\u12", "\\u12G4"})
            QVERIFY2(!settingsfile::Unescape(QString::fromLatin1(bad), &out), bad);
        QVERIFY(settingsfile::Unescape(u"\\x41\\u00e9\\s\\\\\\0"_s, &out));
        QCOMPARE(out, u"A\u00e9 \\"_s + QChar(0));
    }

    void optionIsOn_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("def");
        QTest::addColumn<bool>("on");
        optionRow("1", "1", "0", true);
        optionRow("1.0", "1.0", "0", true);
        optionRow("1e0", "1e0", "0", true);
        optionRow("blanks around", " 1 ", "0", true);
        optionRow("0", "0", "1", false);
        optionRow("2", "2", "1", false);
        optionRow("-1", "-1", "1", false);
        optionRow("0.5", "0.5", "1", false);
        optionRow("no number, default 1", "abc", "1", true);
        optionRow("no number, default 0", "abc", "0", false);
        optionRow("empty, default 1", "", "1", true);
        optionRow("empty, default 0", "", "0", false);
        optionRow("nan, default 1", "nan", "1", true);
        optionRow("1 then junk", "1x", "0", false);
        optionRow("neither a number", "x", "y", false);
    }

    void optionIsOn()
    {
        QFETCH(QString, stored);
        QFETCH(QString, def);
        QFETCH(bool, on);
        QCOMPARE(OptionIsOn(stored, def), on);
    }

    void optionCheckState_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("def");
        QTest::addColumn<int>("state");
        optionRow("0", "0", "1", 0);
        optionRow("1", "1", "0", 1);
        optionRow("2", "2", "0", 2);
        optionRow("3 gives default", "3", "1", 1);
        optionRow("-1 gives default", "-1", "0", 0);
        optionRow("1.5 rounds half to even", "1.5", "0", 2);
        optionRow("no number gives default", "abc", "1", 1);
        optionRow("empty gives default", "", "1", 1);
        optionRow("huge gives default", "99999999999", "0", 0);
        optionRow("neither a number", "x", "y", 0);
    }

    void optionCheckState()
    {
        QFETCH(QString, stored);
        QFETCH(QString, def);
        QFETCH(int, state);
        QCOMPARE(OptionCheckState(stored, def), state);
    }
};

int main(int argc, char **argv)
{
    if (argc > 1 && qstrncmp(argv[1], "helper-", 7) == 0)
        return helperMain(argc, argv);
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_store.moc"
