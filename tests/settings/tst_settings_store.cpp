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
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

const QString kApp = QStringLiteral("Pagecrier");
const QString kSec = QStringLiteral("favs");

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A value as base64 of its UTF-16 units, so that every unit, lone halves of
// pairs included, crosses the process boundary unchanged.
QByteArray encodeUnits(const QString &s)
{
    return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2).toBase64();
}

QString decodeUnits(const QByteArray &b64)
{
    const QByteArray raw = QByteArray::fromBase64(b64);
    return QString(reinterpret_cast<const QChar *>(raw.constData()), raw.size() / 2);
}

// A short readable description of where two texts first differ.
QByteArray describeDifference(const QString &got, const QString &want)
{
    qsizetype i = 0;
    while (i < got.size() && i < want.size() && got.at(i) == want.at(i))
        ++i;
    return QStringLiteral("lengths %1 and %2, first difference at unit %3 (got U+%4, want U+%5)")
        .arg(got.size())
        .arg(want.size())
        .arg(i)
        .arg(i < got.size() ? QString::number(got.at(i).unicode(), 16) : QStringLiteral("end"))
        .arg(i < want.size() ? QString::number(want.at(i).unicode(), 16) : QStringLiteral("end"))
        .toUtf8();
}

// Pieces random texts are made of: every character a settings file could
// trip over, and some plain ones.
QStringList textPieces()
{
    QStringList pieces = {
        QStringLiteral(" "),      QStringLiteral("  "),
        QStringLiteral("\t"),     QStringLiteral("\n"),
        QStringLiteral("\r"),     QStringLiteral("\r\n"),
        QStringLiteral("="),      QStringLiteral("["),
        QStringLiteral("]"),      QStringLiteral(";"),
        QStringLiteral("#"),      QStringLiteral("@"),
        QStringLiteral("%"),      QStringLiteral("\""),
        QStringLiteral("'"),      QStringLiteral("\\"),
        QStringLiteral("\\n"),    QStringLiteral("\\s"),
        QStringLiteral("\\x41"),  QStringLiteral("\\u0041"),
        QStringLiteral("/"),      QStringLiteral("[a/b]"),
        QStringLiteral("k=v"),    QStringLiteral("a"),
        QStringLiteral("Z"),      QStringLiteral("0"),
        QStringLiteral("1"),      QStringLiteral("http://example.com/?a=1&b=2"),
        QStringLiteral("é"),      QStringLiteral("ß"),
        QStringLiteral("Ω"),      QStringLiteral("中文"),
        QStringLiteral("😀"),      QStringLiteral("👩‍💻"),
        QStringLiteral("\u0085"), QStringLiteral("\u2028"),
        QStringLiteral("\uFEFF"), QStringLiteral("\u00A0"),
        QStringLiteral("\u007F"), QStringLiteral("\u0001"),
        QStringLiteral("\u001B"),
    };
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

// ---- helper process --------------------------------------------------------

// Drops root, so that file permissions apply to this process as they do to
// any user.
void becomeNobody()
{
    if (geteuid() == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            std::perror("setuid");
            std::exit(3);
        }
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
        if (job == QLatin1String("helper-dump")) {
            // helper-dump <file> <keys file>: each key's value, one a line.
            const QList<QByteArray> keyList = readBytes(args.value(3)).split('\n');
            for (const QByteArray &key : keyList) {
                if (key.isEmpty())
                    continue;
                const QString value =
                    store.ReadSetting(kApp, kSec, QString::fromUtf8(key), QStringLiteral("<none>"));
                std::fwrite(encodeUnits(value).constData(), 1, encodeUnits(value).size(), stdout);
                std::fputc('\n', stdout);
            }
            return 0;
        }
        if (job == QLatin1String("helper-write")) {
            // helper-write <file> <data file>: writes the pairs the data file holds.
            QByteArray data = readBytes(args.value(3));
            QDataStream in(&data, QIODevice::ReadOnly);
            QList<QPair<QString, QString>> pairs;
            in >> pairs;
            for (const auto &pair : pairs)
                store.WriteSetting(kApp, kSec, pair.first, pair.second);
            return 0;
        }
        if (job == QLatin1String("helper-hammer")) {
            // helper-hammer <file> <prefix> <count> <value length>
            const QString prefix = args.value(3);
            const int count = args.value(4).toInt();
            const QString filler(args.value(5).toInt(), QLatin1Char('v'));
            for (int i = 0; i < count; ++i) {
                store.WriteSetting(kApp, kSec, prefix + QString::number(i),
                                   QString::number(i) + filler);
                std::printf("wrote %d\n", i);
            }
            return 0;
        }
        if (job == QLatin1String("helper-read-as-nobody")) {
            becomeNobody();
            std::printf("OK:%s\n", qPrintable(store.ReadSetting(kApp, kSec, QStringLiteral("url"),
                                                                QStringLiteral("<none>"))));
            return 0;
        }
        if (job == QLatin1String("helper-write-as-nobody")) {
            becomeNobody();
            store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("new"));
            std::printf("OK\n");
            return 0;
        }
        if (job == QLatin1String("helper-write-over-limit")) {
            // The file size limit makes the write fail part way, as a full
            // disk would.
            std::signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit = {4096, 4096};
            setrlimit(RLIMIT_FSIZE, &limit);
            store.WriteSetting(kApp, kSec, QStringLiteral("url"), QString(20000, QLatin1Char('x')));
            std::printf("OK\n");
            return 0;
        }
    } catch (const SettingsError &e) {
        std::printf("ERROR:%s\n", qPrintable(e.message()));
        return 0;
    }
    std::fprintf(stderr, "unknown helper job\n");
    return 2;
}

struct HelperResult
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

HelperResult runHelper(const QStringList &args, int timeoutMs = 120000)
{
    QProcess p;
    p.start(QCoreApplication::applicationFilePath(), args);
    HelperResult r;
    if (!p.waitForFinished(timeoutMs)) {
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

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir configHome_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString file_;

    // Checks every pair through a fresh store object and a fresh process.
    void checkReadBack(const QString &file, const QList<QPair<QString, QString>> &pairs);

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void roundTrip_anyText_throughFreshStoreAndProcess();
    void roundTrip_largeTexts();
    void roundTrip_writtenByAnotherProcess();
    void names_anyLetterCase_addressSameEntry();
    void names_oddCharacters_roundTrip();
    void missingEntry_givesDefault_createsNothing();
    void read_seesWriteOfAnotherProcess_nothingCached();
    void write_replacesEarlierValue_keepsOthers();
    void write_makesMissingFolders_leavesNoTemporaryFile();
    void defaultPath_followsEnvironmentOnEachCall();
    void twoProcesses_writingAtOnce_loseNothing();
    void killedWriter_leavesWholeFile();
    void readers_neverSeeHalfWrittenFile();
    void folderIsRegularFile_failsNamingFileAndCause();
    void fileIsFolder_failsNamingFile();
    void permissionDenied_failsNamingFile();
    void pipeInPlaceOfFile_failsWithoutHanging();
    void symbolicLink_staysLink_targetUpdated();
    void writeCutShort_keepsOldFile();
    void damagedFile_readableEntriesUsed_copyKept_userTold();
    void handEditedFile_readAsWritten_commentsKept();
    void unescape_rejectsBadEscapes();
    void optionIsOn_data();
    void optionIsOn();
    void optionCheckState_data();
    void optionCheckState();
};

void TestSettingsStore::initTestCase()
{
    // Nothing here may touch the real user's settings.
    QVERIFY(configHome_.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome_.path()));
    msgbox::seam::Enable();
}

void TestSettingsStore::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    file_ = dir_->filePath(QStringLiteral("pagecrier/pagecrier.ini"));
    msgbox::seam::Enable();
}

void TestSettingsStore::cleanup()
{
    // Nothing under test may show a message it was not asked for.
    QCOMPARE(msgbox::seam::TakeShown().size(), 0);
    // A test that makes a folder unreadable must not stop its removal.
    QProcess::execute(QStringLiteral("chmod"),
                      {QStringLiteral("-R"), QStringLiteral("u+rwx"), dir_->path()});
    dir_.reset();
}

void TestSettingsStore::checkReadBack(const QString &file,
                                      const QList<QPair<QString, QString>> &pairs)
{
    SettingsStore fresh(file);
    for (const auto &pair : pairs) {
        const QString got = fresh.ReadSetting(kApp, kSec, pair.first, QStringLiteral("<none>"));
        if (got != pair.second)
            QFAIL(QByteArray("fresh store, key " + pair.first.toUtf8() + ": " +
                             describeDifference(got, pair.second))
                      .constData());
    }

    QByteArray keyList;
    for (const auto &pair : pairs)
        keyList += pair.first.toUtf8() + '\n';
    const QString keysFile = dir_->filePath(QStringLiteral("keys.txt"));
    writeBytes(keysFile, keyList);
    const HelperResult r = runHelper({QStringLiteral("helper-dump"), file, keysFile});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    const QList<QByteArray> lines = r.out.split('\n');
    QVERIFY(lines.size() >= pairs.size());
    for (qsizetype i = 0; i < pairs.size(); ++i) {
        const QString got = decodeUnits(lines.at(i));
        if (got != pairs.at(i).second)
            QFAIL(QByteArray("fresh process, key " + pairs.at(i).first.toUtf8() + ": " +
                             describeDifference(got, pairs.at(i).second))
                      .constData());
    }
}

void TestSettingsStore::roundTrip_anyText_throughFreshStoreAndProcess()
{
    const quint32 seed = qEnvironmentVariableIsSet("PAGECRIER_TEST_SEED")
                             ? quint32(qEnvironmentVariableIntValue("PAGECRIER_TEST_SEED"))
                             : 20240611u;
    qInfo("random texts from seed %u (set PAGECRIER_TEST_SEED to change it)", seed);
    QRandomGenerator rng(seed);
    const QStringList pieces = textPieces();

    // 2400 texts in rounds of 300, each round in a file of its own so the
    // file stays small; every round starts with the awkward short ones.
    for (int round = 0; round < 8; ++round) {
        const QString file = dir_->filePath(QStringLiteral("round%1/pagecrier.ini").arg(round));
        SettingsStore writer(file);
        QList<QPair<QString, QString>> pairs;
        for (int i = 0; i < 300; ++i) {
            QString value;
            if (i < pieces.size())
                value = pieces.at(i); // each piece alone
            else if (i % 50 == 0)
                value = QString();
            else
                value = randomText(rng, pieces, rng.bounded(i % 7 == 0 ? 2000 : 40));
            const QString key = QStringLiteral("k%1").arg(i);
            writer.WriteSetting(kApp, kSec, key, value);
            pairs.append({key, value});
        }
        // The writing object reads back what it wrote, too.
        for (const auto &pair : pairs)
            QCOMPARE(writer.ReadSetting(kApp, kSec, pair.first, QStringLiteral("<none>")),
                     pair.second);
        checkReadBack(file, pairs);
        if (QTest::currentTestFailed())
            return;
        // Whatever was written, the file parses without a single bad line.
        QCOMPARE(settingsfile::Parse(readBytes(file)).problems, QStringList());
    }
}

void TestSettingsStore::roundTrip_largeTexts()
{
    QRandomGenerator rng(7);
    const QStringList pieces = textPieces();
    QList<QPair<QString, QString>> pairs = {
        {QStringLiteral("mixed1mb"), randomText(rng, pieces, 1 << 20)},
        // Every character needs an escape: the file line is largest.
        {QStringLiteral("escapes1mb"), randomText(rng,
                                                  {QStringLiteral("\\"), QString(QChar(0)),
                                                   QStringLiteral("\n"), QString(QChar(0xDC00))},
                                                  1 << 20)},
        {QStringLiteral("plain1mb"), QString(1 << 20, QLatin1Char('a'))},
        {QStringLiteral("mixed300k"), randomText(rng, pieces, 300000)},
        {QStringLiteral("small"), QStringLiteral(" small ")},
    };
    SettingsStore writer(file_);
    for (const auto &pair : pairs)
        writer.WriteSetting(kApp, kSec, pair.first, pair.second);
    checkReadBack(file_, pairs);
}

void TestSettingsStore::roundTrip_writtenByAnotherProcess()
{
    QRandomGenerator rng(99);
    const QStringList pieces = textPieces();
    QList<QPair<QString, QString>> pairs;
    for (int i = 0; i < 300; ++i)
        pairs.append({QStringLiteral("p%1").arg(i), randomText(rng, pieces, rng.bounded(60))});
    pairs.append({QStringLiteral("big"), randomText(rng, pieces, 200000)});

    QByteArray data;
    {
        QDataStream out(&data, QIODevice::WriteOnly);
        out << pairs;
    }
    const QString dataFile = dir_->filePath(QStringLiteral("pairs.bin"));
    writeBytes(dataFile, data);
    const HelperResult r = runHelper({QStringLiteral("helper-write"), file_, dataFile});
    QVERIFY2(r.exitCode == 0 && r.out.isEmpty(), QByteArray(r.out + r.err).constData());

    SettingsStore reader(file_);
    for (const auto &pair : pairs) {
        const QString got = reader.ReadSetting(kApp, kSec, pair.first, QStringLiteral("<none>"));
        QVERIFY2(got == pair.second, describeDifference(got, pair.second).constData());
    }
}

void TestSettingsStore::names_anyLetterCase_addressSameEntry()
{
    SettingsStore store(file_);
    // The Save command writes under "Favs"; everyone else reads "favs".
    store.WriteSetting(keys::kApp, keys::kSaveSection, keys::kUrl, QStringLiteral("http://a/"));
    for (const QString &app : {QStringLiteral("Pagecrier"), QStringLiteral("PAGECRIER"),
                               QStringLiteral("pagecrier"), QStringLiteral("pAgEcRiEr")}) {
        for (const QString &section :
             {QStringLiteral("favs"), QStringLiteral("Favs"), QStringLiteral("FAVS")}) {
            for (const QString &key : {QStringLiteral("url"), QStringLiteral("URL")})
                QCOMPARE(SettingsStore(file_).ReadSetting(app, section, key, QStringLiteral("-")),
                         QStringLiteral("http://a/"));
        }
    }

    // Writing under another spelling replaces the one entry.
    store.WriteSetting(QStringLiteral("PAGECRIER"), QStringLiteral("FaVs"), QStringLiteral("Url"),
                       QStringLiteral("http://b/"));
    QCOMPARE(store.ReadSetting(keys::kApp, keys::kSection, keys::kUrl, QString()),
             QStringLiteral("http://b/"));
    const settingsfile::Document doc = settingsfile::Parse(readBytes(file_));
    int entries = 0;
    int headings = 0;
    for (const settingsfile::Line &line : doc.lines) {
        entries += line.kind == settingsfile::Line::Entry;
        headings += line.kind == settingsfile::Line::Section;
    }
    QCOMPARE(entries, 1);
    QCOMPARE(headings, 1);

    // Other sections and applications stay apart.
    QCOMPARE(store.ReadSetting(keys::kApp, QStringLiteral("fav"), keys::kUrl, QStringLiteral("-")),
             QStringLiteral("-"));
    QCOMPARE(
        store.ReadSetting(QStringLiteral("Other"), keys::kSection, keys::kUrl, QStringLiteral("-")),
        QStringLiteral("-"));
}

void TestSettingsStore::names_oddCharacters_roundTrip()
{
    SettingsStore store(file_);
    const QStringList names = {QString(),
                               QStringLiteral(" lead"),
                               QStringLiteral("trail "),
                               QStringLiteral("a=b"),
                               QStringLiteral("[x]"),
                               QStringLiteral("a/b"),
                               QStringLiteral(";c"),
                               QStringLiteral("#c"),
                               QStringLiteral("back\\slash"),
                               QStringLiteral("line\nbreak"),
                               QStringLiteral("Ünïcödé 😀")};
    int n = 0;
    for (const QString &app : names) {
        for (const QString &key : names)
            store.WriteSetting(app, names.value(n++ % names.size()), key, app + key);
    }
    n = 0;
    for (const QString &app : names) {
        for (const QString &key : names)
            QCOMPARE(SettingsStore(file_).ReadSetting(app, names.value(n++ % names.size()), key,
                                                      QStringLiteral("<none>")),
                     app + key);
    }
    QCOMPARE(settingsfile::Parse(readBytes(file_)).problems, QStringList());
}

void TestSettingsStore::missingEntry_givesDefault_createsNothing()
{
    SettingsStore store(file_);
    const QString folder = QFileInfo(file_).absolutePath();
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("dflt")),
             QStringLiteral("dflt"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("url"), QString()), QString());
    QVERIFY(!QFileInfo::exists(folder));

    // A file that lacks the application, the section or the key.
    store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("x"));
    const QByteArray before = readBytes(file_);
    const QStringList listing = QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
    QCOMPARE(store.ReadSetting(QStringLiteral("Else"), kSec, QStringLiteral("url"),
                               QStringLiteral("d1")),
             QStringLiteral("d1"));
    QCOMPARE(store.ReadSetting(kApp, QStringLiteral("other"), QStringLiteral("url"),
                               QStringLiteral("d2")),
             QStringLiteral("d2"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("mail"), QStringLiteral("d3")),
             QStringLiteral("d3"));
    QCOMPARE(readBytes(file_), before);
    QCOMPARE(QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), listing);
}

void TestSettingsStore::read_seesWriteOfAnotherProcess_nothingCached()
{
    SettingsStore store(file_);
    store.WriteSetting(kApp, kSec, QStringLiteral("startup"), QStringLiteral("0"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("startup"), QString()),
             QStringLiteral("0"));

    QByteArray data;
    {
        QDataStream out(&data, QIODevice::WriteOnly);
        out << QList<QPair<QString, QString>>{{QStringLiteral("startup"), QStringLiteral("1")}};
    }
    const QString dataFile = dir_->filePath(QStringLiteral("pairs.bin"));
    writeBytes(dataFile, data);
    const HelperResult r = runHelper({QStringLiteral("helper-write"), file_, dataFile});
    QVERIFY2(r.exitCode == 0, r.err.constData());

    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("startup"), QString()),
             QStringLiteral("1"));
}

void TestSettingsStore::write_replacesEarlierValue_keepsOthers()
{
    SettingsStore store(file_);
    store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("one"));
    store.WriteSetting(kApp, kSec, QStringLiteral("name1"), QStringLiteral("me"));
    store.WriteSetting(kApp, QStringLiteral("other"), QStringLiteral("url"), QStringLiteral("o"));
    store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("two"));
    SettingsStore fresh(file_);
    QCOMPARE(fresh.ReadSetting(kApp, kSec, QStringLiteral("url"), QString()),
             QStringLiteral("two"));
    QCOMPARE(fresh.ReadSetting(kApp, kSec, QStringLiteral("name1"), QString()),
             QStringLiteral("me"));
    QCOMPARE(fresh.ReadSetting(kApp, QStringLiteral("other"), QStringLiteral("url"), QString()),
             QStringLiteral("o"));
    // Long values shrink back.
    store.WriteSetting(kApp, kSec, QStringLiteral("url"), QString(100000, QLatin1Char('x')));
    store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("short"));
    QVERIFY(QFileInfo(file_).size() < 1000);
}

void TestSettingsStore::write_makesMissingFolders_leavesNoTemporaryFile()
{
    const QString deep = dir_->filePath(QStringLiteral("a/b/c/pagecrier.ini"));
    SettingsStore store(deep);
    store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("x"));
    store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("y"));
    QCOMPARE(SettingsStore(deep).ReadSetting(kApp, kSec, QStringLiteral("url"), QString()),
             QStringLiteral("y"));
    QStringList listing = QDir(QFileInfo(deep).absolutePath()).entryList(QDir::Files);
    listing.sort();
    QCOMPARE(listing,
             (QStringList{QStringLiteral("pagecrier.ini"), QStringLiteral("pagecrier.ini.lock")}));
    // The settings may hold a mail address: for the user's eyes only.
    QCOMPARE(QFileInfo(deep).permissions() & (QFile::ReadOther | QFile::ReadGroup),
             QFile::Permissions());
}

void TestSettingsStore::defaultPath_followsEnvironmentOnEachCall()
{
    const QByteArray savedXdg = qgetenv("XDG_CONFIG_HOME");
    const QByteArray savedHome = qgetenv("HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/conf");
    QCOMPARE(SettingsStore::DefaultPath(),
             QStringLiteral("/somewhere/conf/pagecrier/pagecrier.ini"));
    QCOMPARE(SettingsStore().path(), QStringLiteral("/somewhere/conf/pagecrier/pagecrier.ini"));
    qputenv("XDG_CONFIG_HOME", "/elsewhere");
    QCOMPARE(SettingsStore::DefaultPath(), QStringLiteral("/elsewhere/pagecrier/pagecrier.ini"));
    qputenv("HOME", "/home/someone");
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(SettingsStore::DefaultPath(),
             QStringLiteral("/home/someone/.config/pagecrier/pagecrier.ini"));
    // A relative XDG_CONFIG_HOME is not to be used.
    qputenv("XDG_CONFIG_HOME", "relative/conf");
    QCOMPARE(SettingsStore::DefaultPath(),
             QStringLiteral("/home/someone/.config/pagecrier/pagecrier.ini"));
    qputenv("HOME", savedHome);
    qputenv("XDG_CONFIG_HOME", savedXdg);
}

void TestSettingsStore::twoProcesses_writingAtOnce_loseNothing()
{
    const int count = 200;
    QProcess a;
    QProcess b;
    const QString exe = QCoreApplication::applicationFilePath();
    a.start(exe, {QStringLiteral("helper-hammer"), file_, QStringLiteral("a"),
                  QString::number(count), QStringLiteral("10")});
    b.start(exe, {QStringLiteral("helper-hammer"), file_, QStringLiteral("B"),
                  QString::number(count), QStringLiteral("10")});
    QVERIFY(a.waitForFinished(240000));
    QVERIFY(b.waitForFinished(240000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    QVERIFY2(!a.readAllStandardOutput().contains("ERROR"), "writer a failed");
    QVERIFY2(!b.readAllStandardOutput().contains("ERROR"), "writer b failed");

    SettingsStore store(file_);
    int missing = 0;
    for (int i = 0; i < count; ++i) {
        const QString want = QString::number(i) + QString(10, QLatin1Char('v'));
        missing += store.ReadSetting(kApp, kSec, QStringLiteral("a%1").arg(i), QString()) != want;
        missing += store.ReadSetting(kApp, kSec, QStringLiteral("B%1").arg(i), QString()) != want;
    }
    QCOMPARE(missing, 0);
    QCOMPARE(settingsfile::Parse(readBytes(file_)).problems, QStringList());
}

void TestSettingsStore::killedWriter_leavesWholeFile()
{
    // Large values make each write long, so the kill lands inside one.
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("helper-hammer"), file_, QStringLiteral("k"),
                  QStringLiteral("100000"), QStringLiteral("200000")});
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

    const settingsfile::Document doc = settingsfile::Parse(readBytes(file_));
    QCOMPARE(doc.problems, QStringList());
    const QString filler(200000, QLatin1Char('v'));
    SettingsStore store(file_);
    for (int i = 0; i < reported; ++i)
        QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("k%1").arg(i), QString()),
                 QString::number(i) + filler);
}

void TestSettingsStore::readers_neverSeeHalfWrittenFile()
{
    SettingsStore store(file_);
    store.WriteSetting(kApp, kSec, QStringLiteral("sentinel"), QStringLiteral("here"));
    QProcess writer;
    writer.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("helper-hammer"), file_, QStringLiteral("k"), QStringLiteral("60"),
                  QStringLiteral("100000")});
    QVERIFY(writer.waitForStarted());
    int reads = 0;
    int torn = 0;
    while (writer.state() == QProcess::Running) {
        ++reads;
        if (store.ReadSetting(kApp, kSec, QStringLiteral("sentinel"), QString()) !=
            QLatin1String("here"))
            ++torn;
        QCoreApplication::processEvents();
    }
    writer.waitForFinished();
    QCOMPARE(writer.exitCode(), 0);
    qInfo("%d reads while another process wrote", reads);
    QCOMPARE(torn, 0);
}

void TestSettingsStore::folderIsRegularFile_failsNamingFileAndCause()
{
    const QString blocker = dir_->filePath(QStringLiteral("pagecrier"));
    writeBytes(blocker, "not a folder");
    SettingsStore store(file_);
    try {
        store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("x"));
        QFAIL("writing under a regular file did not fail");
    } catch (const SettingsError &e) {
        QVERIFY2(e.message().contains(file_), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QString::fromLocal8Bit(strerror(ENOTDIR))),
                 qPrintable(e.message()));
    }
    try {
        store.ReadSetting(kApp, kSec, QStringLiteral("url"), QString());
        QFAIL("reading under a regular file did not fail");
    } catch (const SettingsError &e) {
        QVERIFY2(e.message().contains(file_), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QString::fromLocal8Bit(strerror(ENOTDIR))),
                 qPrintable(e.message()));
    }
    QCOMPARE(readBytes(blocker), QByteArray("not a folder"));
    // SettingsError is a Failure, which the window's handlers report.
    QVERIFY((std::is_base_of_v<Failure, SettingsError>));
}

void TestSettingsStore::fileIsFolder_failsNamingFile()
{
    QVERIFY(QDir().mkpath(file_));
    SettingsStore store(file_);
    QVERIFY_THROWS_EXCEPTION(SettingsError,
                             store.ReadSetting(kApp, kSec, QStringLiteral("url"), QString()));
    try {
        store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("x"));
        QFAIL("writing over a folder did not fail");
    } catch (const SettingsError &e) {
        QVERIFY2(e.message().contains(file_), qPrintable(e.message()));
    }
    QVERIFY(QFileInfo(file_).isDir());
}

void TestSettingsStore::permissionDenied_failsNamingFile()
{
    // The helper gives up root before it touches the store, so permissions
    // stop it as they stop any user.
    SettingsStore(file_).WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("old"));
    const QString folder = QFileInfo(file_).absolutePath();
    QVERIFY(QFile::setPermissions(folder, QFile::Permissions()));

    const HelperResult r = runHelper({QStringLiteral("helper-read-as-nobody"), file_});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QVERIFY2(r.out.startsWith("ERROR:") && r.out.contains(file_.toUtf8()) &&
                 r.out.contains(strerror(EACCES)),
             r.out.constData());

    const HelperResult w = runHelper({QStringLiteral("helper-write-as-nobody"), file_});
    QVERIFY2(w.exitCode == 0, w.err.constData());
    QVERIFY2(w.out.startsWith("ERROR:") && w.out.contains(file_.toUtf8()) &&
                 w.out.contains(strerror(EACCES)),
             w.out.constData());
    QCOMPARE(SettingsStore(file_).ReadSetting(kApp, kSec, QStringLiteral("url"), QString()),
             QStringLiteral("old"));
}

void TestSettingsStore::pipeInPlaceOfFile_failsWithoutHanging()
{
    QVERIFY(QDir().mkpath(QFileInfo(file_).absolutePath()));
    QCOMPARE(mkfifo(QFile::encodeName(file_).constData(), 0600), 0);
    SettingsStore store(file_);
    try {
        store.ReadSetting(kApp, kSec, QStringLiteral("url"), QString());
        QFAIL("reading a pipe did not fail");
    } catch (const SettingsError &e) {
        QVERIFY2(e.message().contains(file_), qPrintable(e.message()));
    }
    QVERIFY_THROWS_EXCEPTION(
        SettingsError, store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("x")));
}

void TestSettingsStore::symbolicLink_staysLink_targetUpdated()
{
    const QString real = dir_->filePath(QStringLiteral("dotfiles/pagecrier.ini"));
    SettingsStore(real).WriteSetting(kApp, kSec, QStringLiteral("name1"), QStringLiteral("Ann"));
    QVERIFY(QDir().mkpath(QFileInfo(file_).absolutePath()));
    QVERIFY(QFile::link(QStringLiteral("../dotfiles/pagecrier.ini"), file_));

    SettingsStore store(file_);
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("name1"), QString()),
             QStringLiteral("Ann"));
    store.WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("http://x/"));
    QVERIFY(QFileInfo(file_).isSymLink());
    QCOMPARE(SettingsStore(real).ReadSetting(kApp, kSec, QStringLiteral("url"), QString()),
             QStringLiteral("http://x/"));
    QCOMPARE(SettingsStore(real).ReadSetting(kApp, kSec, QStringLiteral("name1"), QString()),
             QStringLiteral("Ann"));
}

void TestSettingsStore::writeCutShort_keepsOldFile()
{
    SettingsStore(file_).WriteSetting(kApp, kSec, QStringLiteral("url"), QStringLiteral("old"));
    const QByteArray before = readBytes(file_);
    const HelperResult r = runHelper({QStringLiteral("helper-write-over-limit"), file_});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QVERIFY2(r.out.startsWith("ERROR:") && r.out.contains(file_.toUtf8()) &&
                 r.out.contains(strerror(EFBIG)),
             r.out.constData());
    QCOMPARE(readBytes(file_), before);
    QStringList listing = QDir(QFileInfo(file_).absolutePath()).entryList(QDir::Files);
    listing.sort();
    QCOMPARE(listing,
             (QStringList{QStringLiteral("pagecrier.ini"), QStringLiteral("pagecrier.ini.lock")}));
}

void TestSettingsStore::damagedFile_readableEntriesUsed_copyKept_userTold()
{
    QVERIFY(QDir().mkpath(QFileInfo(file_).absolutePath()));
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
    QVERIFY(damaged.contains('\0'));
    writeBytes(file_, damaged);

    // Reading uses what parses, and neither copies nor tells anything.
    SettingsStore store(file_);
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("url"), QString()),
             QStringLiteral("http://kept/"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("name1"), QString()),
             QStringLiteral("Ann"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("mail"), QString()),
             QStringLiteral("a@b.c"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("lost"), QStringLiteral("-")),
             QStringLiteral("-"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("bad"), QStringLiteral("-")),
             QStringLiteral("-"));
    QCOMPARE(readBytes(file_), damaged);
    const QString folder = QFileInfo(file_).absolutePath();
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("pagecrier.ini")});
    QCOMPARE(msgbox::seam::ShownSoFar().size(), 0);

    // The first write keeps a copy and says where.
    store.WriteSetting(kApp, kSec, QStringLiteral("startup"), QStringLiteral("1"));
    const QStringList copies =
        QDir(folder).entryList({QStringLiteral("pagecrier.ini.damaged-*")}, QDir::Files);
    QCOMPARE(copies.size(), 1);
    const QString copy = QDir(folder).filePath(copies.first());
    QCOMPARE(readBytes(copy), damaged);
    const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.first().text.contains(copy), qPrintable(shown.first().text));
    QVERIFY2(shown.first().text.contains(file_), qPrintable(shown.first().text));
    QCOMPARE(shown.first().style, msgbox::MB_OK | msgbox::MB_ICONINFORMATION);

    // The rewritten file holds what could be read, and the new entry.
    SettingsStore fresh(file_);
    QCOMPARE(fresh.ReadSetting(kApp, kSec, QStringLiteral("url"), QString()),
             QStringLiteral("http://kept/"));
    QCOMPARE(fresh.ReadSetting(kApp, kSec, QStringLiteral("name1"), QString()),
             QStringLiteral("Ann"));
    QCOMPARE(fresh.ReadSetting(kApp, kSec, QStringLiteral("mail"), QString()),
             QStringLiteral("a@b.c"));
    QCOMPARE(fresh.ReadSetting(kApp, kSec, QStringLiteral("startup"), QString()),
             QStringLiteral("1"));
    QCOMPARE(settingsfile::Parse(readBytes(file_)).problems, QStringList());

    // Once mended, later writes neither copy nor tell.
    store.WriteSetting(kApp, kSec, QStringLiteral("auto"), QStringLiteral("0"));
    QCOMPARE(
        QDir(folder).entryList({QStringLiteral("pagecrier.ini.damaged-*")}, QDir::Files).size(), 1);
    QCOMPARE(msgbox::seam::ShownSoFar().size(), 0);
}

void TestSettingsStore::handEditedFile_readAsWritten_commentsKept()
{
    QVERIFY(QDir().mkpath(QFileInfo(file_).absolutePath()));
    writeBytes(file_, "\xEF\xBB\xBF; my own note\r\n"
                      "\r\n"
                      "  [ Pagecrier / Favs ]  \r\n"
                      "  url  =http://x/ \r\n"
                      "name1= spaced\r\n"
                      "# another note\r\n"
                      "mail=tab\there\r\n"
                      "url=http://last-wins/");
    SettingsStore store(file_);
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("url"), QString()),
             QStringLiteral("http://last-wins/"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("name1"), QString()),
             QStringLiteral(" spaced"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("mail"), QString()),
             QStringLiteral("tab\there"));

    store.WriteSetting(kApp, kSec, QStringLiteral("startup"), QStringLiteral("1"));
    const QByteArray after = readBytes(file_);
    QVERIFY2(after.contains("; my own note\n") && after.contains("# another note\n"),
             after.constData());
    QCOMPARE(settingsfile::Parse(after).problems, QStringList());
    QCOMPARE(msgbox::seam::ShownSoFar().size(), 0);
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("name1"), QString()),
             QStringLiteral(" spaced"));
    QCOMPARE(store.ReadSetting(kApp, kSec, QStringLiteral("startup"), QString()),
             QStringLiteral("1"));
}

void TestSettingsStore::unescape_rejectsBadEscapes()
{
    QString out;
    for (const char *bad : {"\\", "a\\", "\\q", "\\x4", "\\xZZ", "\\u12", "\\u12G4"})
        QVERIFY2(!settingsfile::Unescape(QString::fromLatin1(bad), &out), bad);
    QVERIFY(settingsfile::Unescape(QStringLiteral("\\x41\\u00e9\\s\\\\\\0"), &out));
    QCOMPARE(out, QStringLiteral("A\u00e9 \\") + QChar(0));
}

void TestSettingsStore::optionIsOn_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("def");
    QTest::addColumn<bool>("on");
    QTest::newRow("1") << "1"
                       << "0" << true;
    QTest::newRow("1.0") << "1.0"
                         << "0" << true;
    QTest::newRow("1e0") << "1e0"
                         << "0" << true;
    QTest::newRow("blanks around") << " 1 "
                                   << "0" << true;
    QTest::newRow("0") << "0"
                       << "1" << false;
    QTest::newRow("2") << "2"
                       << "1" << false;
    QTest::newRow("-1") << "-1"
                        << "1" << false;
    QTest::newRow("0.5") << "0.5"
                         << "1" << false;
    QTest::newRow("default 0 when absent") << "0"
                                           << "0" << false;
    QTest::newRow("no number, default 1") << "abc"
                                          << "1" << true;
    QTest::newRow("no number, default 0") << "abc"
                                          << "0" << false;
    QTest::newRow("empty, default 1") << ""
                                      << "1" << true;
    QTest::newRow("empty, default 0") << ""
                                      << "0" << false;
    QTest::newRow("nan, default 1") << "nan"
                                    << "1" << true;
    QTest::newRow("1 then junk") << "1x"
                                 << "0" << false;
    QTest::newRow("neither a number") << "x"
                                      << "y" << false;
}

void TestSettingsStore::optionIsOn()
{
    QFETCH(QString, stored);
    QFETCH(QString, def);
    QFETCH(bool, on);
    QCOMPARE(OptionIsOn(stored, def), on);
}

void TestSettingsStore::optionCheckState_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("def");
    QTest::addColumn<int>("state");
    QTest::newRow("0") << "0"
                       << "1" << 0;
    QTest::newRow("1") << "1"
                       << "0" << 1;
    QTest::newRow("2") << "2"
                       << "0" << 2;
    QTest::newRow("3 gives default") << "3"
                                     << "1" << 1;
    QTest::newRow("-1 gives default") << "-1"
                                      << "0" << 0;
    QTest::newRow("1.5 gives default") << "1.5"
                                       << "0" << 0;
    QTest::newRow("no number gives default") << "abc"
                                             << "1" << 1;
    QTest::newRow("empty gives default") << ""
                                         << "1" << 1;
    QTest::newRow("huge gives default") << "99999999999"
                                        << "0" << 0;
    QTest::newRow("neither a number") << "x"
                                      << "y" << 0;
}

void TestSettingsStore::optionCheckState()
{
    QFETCH(QString, stored);
    QFETCH(QString, def);
    QFETCH(int, state);
    QCOMPARE(OptionCheckState(stored, def), state);
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrncmp(argv[1], "helper-", 7) == 0)
        return helperMain(argc, argv);
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_store.moc"
