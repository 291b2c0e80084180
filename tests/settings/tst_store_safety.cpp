// The store against hostile and odd files: links, huge files, a writer killed
// or racing another copy, odd lines, and option texts that are no numbers.
// Started as "helper-favs <file>" the executable saves favorites sets in a
// loop until it is killed.

#include "keys.h"
#include "msgbox.h"
#include "settings_file.h"
#include "settings_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kApp = u"Pagecrier"_s;
const QString kSec = u"favs"_s;

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList everything(const QString &dir)
{
    QStringList names;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next();
    names.sort();
    return names;
}

// The message of the SettingsError that use throws; empty when none.
QString failure(const std::function<void()> &use)
{
    try {
        use();
    } catch (const SettingsError &error) {
        return error.message();
    }
    return QString();
}

} // namespace

class TestStoreSafety : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;
    QString ini() const { return dir_.filePath(u"cfg/pagecrier.ini"_s); }

private slots:
    void init()
    {
        QDir(dir_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(dir_.filePath(u"cfg"_s)));
        msgbox::seam::Enable();
    }

    void link_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("own file: written through, stays a link, mode kept") << u"own"_s;
        QTest::newRow("another user's file: refused") << u"other"_s;
        QTest::newRow("folder: refused") << u"folder"_s;
        if (::geteuid() == 0)
            QTest::newRow("link made by another user: refused") << u"their link"_s;
        QTest::newRow("dangling: refused, nothing made") << u"dangling"_s;
    }
    void link()
    {
        QFETCH(QString, kind);
        const QString target = dir_.filePath(u"elsewhere/target"_s);
        QVERIFY(QDir().mkpath(dir_.filePath(u"elsewhere"_s)));
        if (kind == u"folder")
            QVERIFY(QDir().mkpath(target));
        else if (kind != u"dangling")
            QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0 || kind == u"dangling");
        QString victim = target; // not ours: a file root gives away, or one of the system's
        if (kind == u"other" && ::chown(QFile::encodeName(target).constData(), 65534, 65534) != 0)
            victim = u"/etc/passwd"_s;
        QVERIFY(QFile::link(victim, ini()));
        if (kind == u"their link")
            QVERIFY(::lchown(QFile::encodeName(ini()).constData(), 65534, 65534) == 0);
        const QStringList before = everything(dir_.path());
        const QByteArray bytes = readBytes(victim);
        const QFile::Permissions mode = QFile::permissions(target);
        SettingsStore store(ini());
        if (kind == u"own") {
            store.WriteSetting(kApp, kSec, keys::kUrl, u"through"_s);
            QCOMPARE(store.ReadSetting(kApp, kSec, keys::kUrl, {}), u"through"_s);
            QVERIFY(QFileInfo(ini()).isSymLink() && QFile::permissions(target) == mode);
            return;
        }
        for (const QString &message :
             {failure([&] { store.ReadSetting(kApp, kSec, keys::kUrl, {}); }),
              failure([&] { store.WriteSetting(kApp, kSec, keys::kUrl, u"x"_s); })})
            QVERIFY2(message.contains(ini()) && message.contains(victim), qPrintable(message));
        QCOMPARE(everything(dir_.path()), before);
        QCOMPARE(readBytes(victim), bytes);
    }

    void tooLarge_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QByteArray>("line"); // repeated to fill size, or none: sparse
        QTest::newRow("64 GiB, sparse") << (qint64(64) << 30) << QByteArray();
        QTest::newRow("one byte over the bound") << SettingsStore::kMaxFileSize + 1 << QByteArray();
        QTest::newRow("too many entries")
            << qint64(4 * (settingsfile::kMaxLines + 1)) << "k=v\n"_ba;
    }
    void tooLarge()
    {
        QFETCH(qint64, size);
        QFETCH(QByteArray, line);
        QFile file(ini());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(line.isEmpty() ? file.resize(size)
                               : file.write("[a/b]\n" + line.repeated(size / line.size() - 1)));
        file.close();
        size = file.size();
        SettingsStore store(ini());
        const QString message = failure([&] { store.ReadSetting(kApp, kSec, keys::kUrl, {}); });
        QVERIFY(message.contains(ini()) && message.contains(QString::number(size)));
        QCOMPARE(QFileInfo(ini()).size(), size);
        // A write keeps the file aside, tells the user where, and starts afresh.
        store.WriteSetting(kApp, kSec, keys::kUrl, u"new"_s);
        const QStringList copies = QDir(dir_.filePath(u"cfg"_s)).entryList({"*.damaged-*"});
        QCOMPARE(copies.size(), 1);
        QCOMPARE(QFileInfo(dir_.filePath("cfg/" + copies[0])).size(), size);
        QVERIFY(msgbox::seam::TakeShown().constFirst().text.contains(copies[0]));
        QCOMPARE(store.ReadSetting(kApp, kSec, keys::kUrl, {}), u"new"_s);
    }

    // Another copy saves favorites again and again and is then killed: every
    // read meanwhile, and the file after, hold one whole set; the next write
    // clears the dead writer's temporary files.
    void favorites_wholeSetsWhileSavingAndAfterKill()
    {
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), {u"helper-favs"_s, ini()});
        QVERIFY(helper.waitForStarted());
        SettingsStore store(ini());
        const SettingsStore::Pairs absent = {
            {keys::kUrl, "http://-1"}, {keys::kName, "name -1"}, {keys::kMail, "-1@x"}};
        QSet<QString> seen; // the numbers of the sets read, each read whole
        const auto readWhole = [&] {
            const QStringList got = store.ReadSettings(kApp, kSec, absent);
            const QString n = got[0].mid(7);
            seen.insert(n);
            return got == QStringList{"http://" + n, "name " + n, n + "@x"};
        };
        QElapsedTimer timer;
        timer.start();
        while (seen.size() < 50 && timer.elapsed() < 20000)
            QVERIFY(readWhole());
        QCOMPARE(seen.size(), 50);
        ::kill(pid_t(helper.processId()), SIGKILL);
        helper.waitForFinished();
        QVERIFY(readWhole());
        QFile(ini() + ".tmp-ABCDEF").open(QIODevice::WriteOnly); // as a kill may leave
        store.WriteSetting(kApp, kSec, keys::kStartup, u"1"_s);
        QCOMPARE(QDir(dir_.filePath(u"cfg"_s)).entryList({"*.tmp-*"}), QStringList());
    }

    void lines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("kept");
        QTest::newRow("raw return ending a value survives another write")
            << "[Pagecrier/favs]\nurl=a\r\n"_ba << u"a\r"_s << "url=a\r\n"_ba;
        QTest::newRow("a heading that is not UTF-8 ends the section")
            << "[Pagecrier/favs]\nurl=good\n[\xff/favs]\nurl=bad\n"_ba << u"good"_s
            << "url=good\n"_ba;
    }
    void lines()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, url);
        QFETCH(QByteArray, kept);
        settingsfile::Document doc = settingsfile::Parse(file);
        QCOMPARE(doc.Find(kApp, kSec, keys::kUrl), url);
        doc.Set(kApp, kSec, keys::kMail, u"m"_s);
        QVERIFY(settingsfile::Serialize(doc).contains(kept));
    }

    void conversion_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("def");
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("state");
        for (const auto &[text, state] :
             {std::pair{"0.6", 1}, {"1.4", 1}, {"1.5", 2}, {"2.5", 2}, {"0.5", 0}, {"-0.4", 0}})
            QTest::newRow(text) << QString::fromLatin1(text) << u"1"_s << false << state;
        QTest::newRow("1.0 is on") << u"1.0"_s << u"0"_s << true << 1;
        QTest::newRow("out of 16 bits") << u"65537"_s << u"1"_s << false << 1;
        for (const char *text : {"inf", "-inf", "nan", "infinity", "1e999"})
            QTest::newRow(text) << QString::fromLatin1(text) << u"1"_s << true << 1;
    }
    void conversion()
    {
        QFETCH(QString, stored);
        QFETCH(QString, def);
        QFETCH(bool, on);
        QFETCH(int, state);
        QCOMPARE(OptionIsOn(stored, def), on);
        QCOMPARE(OptionCheckState(stored, def), state);
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "helper-favs") == 0) {
        SettingsStore store(QFile::decodeName(argv[2]));
        for (int i = 0;; ++i) {
            const QString n = QString::number(i);
            store.WriteSettings(
                kApp, u"Favs"_s,
                {{keys::kUrl, "http://" + n}, {keys::kName, "name " + n}, {keys::kMail, n + "@x"}});
        }
    }
    QCoreApplication app(argc, argv);
    TestStoreSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_store_safety.moc"
