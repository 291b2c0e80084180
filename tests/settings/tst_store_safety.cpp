// The settings store and the address lists against hostile and odd files:
// links, huge or damaged files, writers killed or racing another copy, odd
// lines, option texts that are no numbers, and what others may see.
// Started as "helper-favs <file>" the executable saves favorites sets in a
// loop until it is killed; as "helper-remember <file> <prefix>" it remembers
// kEach addresses.

#include "address_list.h"
#include "keys.h"
#include "msgbox.h"
#include "settings_file.h"
#include "settings_store.h"

#include <QtTest>

#include <csignal>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace keys;

namespace {

constexpr int kEach = 100;

// Every name under dir, with its size.
QStringList everything(const QString &dir)
{
    QStringList names;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names << it.next() + ' ' + QString::number(it.fileInfo().size());
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
    QString cfg(const QString &name = {}) const { return dir_.filePath("cfg/" + name); }
    QString ini() const { return cfg(u"pagecrier.ini"_s); }
    QString list() const { return cfg(u"typed-addresses.json"_s); }
    QStringList damaged() const { return QDir(cfg()).entryList({"*.damaged-*"}); }

private slots:
    void init()
    {
        QDir(dir_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(cfg()));
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
        QVERIFY(QDir().mkpath(kind == u"folder" ? target : dir_.filePath(u"elsewhere"_s)));
        if (kind != u"folder" && kind != u"dangling")
            QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0 || kind == u"dangling");
        // Not ours: a file root gives away, or one of the system's (which the
        // listing below does not show, but no user but root may change).
        QString victim = target;
        if (kind == u"other" && ::chown(QFile::encodeName(target).constData(), 65534, 65534) != 0)
            victim = u"/etc/passwd"_s;
        QVERIFY(QFile::link(victim, ini()));
        if (kind == u"their link")
            QVERIFY(::lchown(QFile::encodeName(ini()).constData(), 65534, 65534) == 0);
        const QStringList before = everything(dir_.path());
        const QFile::Permissions mode = QFile::permissions(target);
        SettingsStore store(ini());
        if (kind == u"own") {
            store.WriteSetting(kApp, kSection, kUrl, u"through"_s);
            QCOMPARE(store.ReadSetting(kApp, kSection, kUrl, {}), u"through"_s);
            QVERIFY(QFileInfo(ini()).isSymLink() && QFile::permissions(target) == mode);
            return;
        }
        for (const QString &message :
             {failure([&] { store.ReadSetting(kApp, kSection, kUrl, {}); }),
              failure([&] { store.WriteSetting(kApp, kSection, kUrl, u"x"_s); })})
            QVERIFY2(message.contains(ini()) && message.contains(victim), qPrintable(message));
        QCOMPARE(everything(dir_.path()), before);
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
        QTest::newRow("list, not a list") << true << qint64(4) << "junk"_ba;
        QTest::newRow("list, over the bound") << true << (qint64(17) << 20) << QByteArray();
    }
    void keptAside()
    {
        QFETCH(bool, isList);
        QFETCH(qint64, size);
        QFETCH(QByteArray, line);
        QFile file(isList ? list() : ini());
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(line.isEmpty() ? file.resize(size) : file.write(line.repeated(size / line.size())));
        file.close();
        QVERIFY(::chmod(QFile::encodeName(cfg()).constData(), 0755) == 0); // others may look in
        QVERIFY(::chmod(QFile::encodeName(file.fileName()).constData(), 0644) == 0); // and read
        AddressList addresses(list());
        SettingsStore store(ini());
        if (isList) {
            QVERIFY(addresses.Remember(u"http://new/"_s));
            QVERIFY(addresses.Remember("http://" + QString(AddressList::kMaxAddressLength, 'x')));
            addresses.Load(); // nothing of the old file, nor the over-long address
            QCOMPARE(addresses.entries(), QStringList{u"http://new/"_s});
            const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                   QFile::WriteUser; // as the user the list belongs to sees it
            QCOMPARE(QFile::permissions(list()), ownerOnly);
            QCOMPARE(QFile::permissions(cfg()), ownerOnly | QFile::ExeOwner | QFile::ExeUser);
        } else {
            const QString message = failure([&] { store.ReadSetting(kApp, kSection, kUrl, {}); });
            QVERIFY2(message.contains(ini()) && message.contains(QString::number(size)),
                     qPrintable(message));
            store.WriteSetting(kApp, kSection, kUrl, u"new"_s);
            QVERIFY(msgbox::seam::TakeShown().constFirst().text.contains(damaged().value(0)));
        }
        QCOMPARE(damaged().size(), 1);
        QCOMPARE(QFileInfo(cfg(damaged()[0])).size(), size);
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
        QSet<QString> seen; // the numbers of the sets read, each read whole
        const auto readWhole = [&] {
            const QStringList got = store.ReadSettings(
                kApp, kSection, {{kUrl, "http://-1"}, {kName, "name -1"}, {kMail, "-1@x"}});
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
        store.WriteSetting(kApp, kSection, kStartup, u"1"_s);
        QCOMPARE(QDir(cfg()).entryList({"*.tmp-*"}), QStringList());
    }

    void list_twoCopiesAtOnceLoseNothing()
    {
        QProcess copies[2];
        for (int i = 0; i < 2; ++i)
            copies[i].start(QCoreApplication::applicationFilePath(),
                            {u"helper-remember"_s, list(), QString::number(i)});
        for (QProcess &copy : copies)
            QVERIFY(copy.waitForFinished(60000) && copy.exitCode() == 0);
        AddressList after(list());
        after.Load();
        QCOMPARE(after.entries().size(), 2 * kEach);
    }

    // A raw carriage return ending a value survives another write; a heading
    // that is not UTF-8 still ends the section above it.
    void oddLines()
    {
        settingsfile::Document doc =
            settingsfile::Parse("[Pagecrier/favs]\nurl=a\r\n[\xff/favs]\nurl=bad\n"_ba);
        QCOMPARE(doc.Find(kApp, kSection, kUrl), u"a\r"_s);
        doc.Set(kApp, kSection, kMail, u"m"_s);
        QVERIFY(settingsfile::Serialize(doc).contains("url=a\r\n"));
    }
};

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "helper-favs") == 0) {
        SettingsStore store(QFile::decodeName(argv[2]));
        for (int i = 0;; ++i) {
            const QString n = QString::number(i);
            store.WriteSettings(kApp, kSaveSection,
                                {{kUrl, "http://" + n}, {kName, "name " + n}, {kMail, n + "@x"}});
        }
    }
    if (argc >= 4 && qstrcmp(argv[1], "helper-remember") == 0) {
        AddressList addresses(QFile::decodeName(argv[2]));
        for (int i = 0; i < kEach; ++i) {
            if (!addresses.Remember(u"http://%1.example/%2"_s.arg(argv[3]).arg(i)))
                return 1;
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestStoreSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_store_safety.moc"
