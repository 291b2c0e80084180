// The address lists against racing copies, unreadable files, links and
// over-long addresses, and what others may see of them. Started as
// "helper-remember <file> <prefix>" the executable remembers 100 addresses.

#include "address_list.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kEach = 100;

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

} // namespace

class TestListSafety : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;
    QString folder() const { return dir_.filePath(u"pagecrier"_s); }
    QString list() const { return folder() + u"/typed-addresses.json"_s; }

private slots:
    void init()
    {
        QDir(dir_.path()).removeRecursively();
        QVERIFY(QDir().mkpath(folder()));
    }

    void twoCopiesAtOnce_loseNothing()
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

    void kept_data()
    {
        QTest::addColumn<qint64>("size"); // 0: junk text instead
        QTest::newRow("not a list") << qint64(0);
        QTest::newRow("over the bound, sparse") << qint64(17) * 1024 * 1024;
    }
    void kept()
    {
        QFETCH(qint64, size);
        {
            QFile file(list());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(size ? file.resize(size) : file.write("junk") == 4);
        }
        AddressList addresses(list());
        addresses.Load();
        QVERIFY(addresses.entries().isEmpty());
        QVERIFY(addresses.Remember(u"http://new/"_s));
        const QStringList copies = QDir(folder()).entryList({"*.damaged-*"});
        QCOMPARE(copies.size(), 1);
        QCOMPARE(QFileInfo(folder() + '/' + copies[0]).size(), size ? size : 4);
    }

    void privateAndBounded()
    {
        QVERIFY(::chmod(QFile::encodeName(folder()).constData(), 0755) == 0);
        QVERIFY(QFile(list()).open(QIODevice::WriteOnly));
        QVERIFY(::chmod(QFile::encodeName(list()).constData(), 0644) == 0);
        AddressList addresses(list());
        QVERIFY(addresses.Remember(u"http://short/"_s));
        QVERIFY(addresses.Remember("http://" + QString(AddressList::kMaxAddressLength, 'x')));
        AddressList again(list());
        again.Load();
        QCOMPARE(again.entries(), QStringList{u"http://short/"_s});
        QCOMPARE(modeOf(list()), mode_t(0600));
        QCOMPARE(modeOf(folder()), mode_t(0700));
    }

    void danglingLink_nothingMade()
    {
        QVERIFY(QFile::link(dir_.filePath(u"gone/list.json"_s), list()));
        AddressList addresses(list());
        QVERIFY(!addresses.Remember(u"http://x/"_s));
        QVERIFY(!QFileInfo::exists(dir_.filePath(u"gone"_s)));
        QCOMPARE(QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList{u"typed-addresses.json"_s});
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "helper-remember") == 0) {
        AddressList addresses(QFile::decodeName(argv[2]));
        for (int i = 0; i < kEach; ++i) {
            if (!addresses.Remember(u"http://%1.example/%2"_s.arg(argv[3]).arg(i)))
                return 1;
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestListSafety test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_list_safety.moc"
