// Address completion: the remembered lists, the file-system candidates and
// the completion as a line edit offers it.
#include "address_list.h"
#include "autocomplete.h"
#include "completion_service.h"
#include "path_candidates.h"
#include "test_support.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QLineEdit>

#include <fcntl.h>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

void Make(const QString &folder, const QStringList &names)
{
    for (const QString &name : names)
        QVERIFY(name.endsWith(u'/') ? QDir(folder).mkpath(name)
                                    : QFile(folder + u'/' + name).open(QIODevice::WriteOnly));
}

QStringList Under(const QString &folder, const QStringList &names)
{
    QStringList paths;
    for (const QString &name : names)
        paths << folder + u'/' + name;
    return paths;
}

// What the field's list offers once text is typed, or "<no list>".
QStringList Offers(QLineEdit *field, const QString &text)
{
    field->show();
    field->activateWindow();
    if (!QTest::qWaitForWindowActive(field))
        return {u"<not active>"_s};
    field->setFocus();
    QTest::keyClicks(field, text);
    QCompleter *completer = field->completer();
    if (!completer || !QTest::qWaitFor([completer] { return completer->popup()->isVisible(); }))
        return {u"<no list>"_s};
    QStringList rows;
    for (int row = 0; row < completer->completionModel()->rowCount(); ++row)
        rows << completer->completionModel()->index(row, 0).data().toString();
    return rows;
}

// The start of an address list file, and entries some of which are none
// (out of the test class: moc misreads raw strings in it).
const QByteArray kListHead = R"({"format":"pagecrier-addresses","addresses":)";
const QByteArray kMixedEntries = R"(["http://a/", 17, "", null, "http://a/", "http://b/"]})";

} // namespace

class TestCompletion : public QObject
{
    Q_OBJECT

    std::vector<std::unique_ptr<QLineEdit>> fields_;
    QString data() const { return Scratch().filePath(u"data/pagecrier"_s); }
    QString root() const { return Scratch().filePath(u"files"_s); }

    QLineEdit *NewField()
    {
        fields_.push_back(std::make_unique<QLineEdit>());
        autocomplete::MakeAutoComplete(fields_.back().get());
        return fields_.back().get();
    }

private slots:
    void init()
    {
        Scratch(true);
        QVERIFY(QDir().mkpath(root()));
        autocomplete::seam::ForgetState();
    }

    void cleanup()
    {
        fields_.clear();
        autocomplete::seam::ForgetState();
    }

    void remember_newestFirst_noDuplicates_withinTheLimit()
    {
        const QString path = data() + u"/list.json"_s; // in a folder still to be made
        AddressList list(path, 3);
        for (const QString &address : {u"http://a/"_s, u"http://b/"_s, u"http://a/"_s, QString()})
            QVERIFY(list.Remember(address));
        QCOMPARE(list.entries(), QStringList({"http://a/", "http://b/"}));
        QVERIFY(list.contains(u"http://a/"_s) && list.contains(u"http://b/"_s));
        for (int i = 1; i <= 5; ++i)
            QVERIFY(list.Remember(u"http://%1/"_s.arg(i)));
        AddressList other(path, 3); // another running copy reads the file
        other.Load();
        QCOMPARE(other.entries(), QStringList({"http://5/", "http://4/", "http://3/"}));
        QVERIFY(!other.contains(u"http://2/"_s));
    }

    void remember_unwritableFolder_keepsTheAddressInMemory()
    {
        Make(Scratch().path(), {u"blocker"_s});
        AddressList list(Scratch().filePath(u"blocker/list.json"_s));
        QVERIFY(!list.Remember(u"http://kept/"_s));
        QCOMPARE(list.entries(), QStringList{"http://kept/"});
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("entries");
        const QByteArray head = kListHead, mixed = kListHead + kMixedEntries;
        QTest::newRow("garbage") << QByteArray("\x01\x02 not a list \xff") << 9 << QStringList();
        QTest::newRow("cut short") << head + "[\"http://a" << 9 << QStringList();
        QTest::newRow("other document")
            << QByteArray("{\"addresses\":[\"http://a/\"]}") << 9 << QStringList();
        QTest::newRow("no array") << head + "\"x\"}" << 9 << QStringList();
        QTest::newRow("empty file") << QByteArray() << 9 << QStringList();
        QTest::newRow("non-addresses skipped")
            << mixed << 9 << QStringList({"http://a/", "http://b/"});
        QTest::newRow("beyond the limit") << mixed << 1 << QStringList({"http://a/"});
    }

    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, limit);
        QFETCH(QStringList, entries);
        const QString path = Scratch().filePath(u"list.json"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();
        AddressList list(path, limit);
        list.Load();
        QCOMPARE(list.entries(), entries);
    }

    void paths_data()
    {
        // <root> holds Alpha.txt, alpine/, beta.txt, .hidden, hello, report.html
        // and Reports/; HOME is <root> too.
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        const QStringList all = {"<root>/Alpha.txt", "<root>/alpine/",     "<root>/beta.txt",
                                 "<root>/hello",     "<root>/report.html", "<root>/Reports/"};
        QTest::newRow("case ignored") << u"<root>/AL"_s << all.mid(0, 2);
        QTest::newRow("whole folder") << u"<root>/"_s << all;
        QTest::newRow("hidden for a dot") << u"<root>/."_s << QStringList{"<root>/.hidden"};
        QTest::newRow("hidden left out") << u"<root>/h"_s << QStringList{"<root>/hello"};
        QTest::newRow("file://") << u"file://<root>/rep"_s
                                 << QStringList(
                                        {"file://<root>/report.html", "file://<root>/Reports/"});
        QTest::newRow("FILE:") << u"FILE:<root>/Reports"_s << QStringList{"FILE:<root>/Reports/"};
        QTest::newRow("~/") << u"~/report"_s << QStringList({"~/report.html", "~/Reports/"});
        for (const QString &none : {u"<root>/alpine/"_s, u"<root>/missing/"_s, u"h"_s, u"~"_s,
                                    u"http://"_s, u"file:"_s, u"file://host/x"_s, u"C:\\"_s})
            QTest::addRow("none for %s", qPrintable(none)) << none << QStringList();
    }

    void paths()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        Make(root(),
             {"Alpha.txt", "alpine/", "beta.txt", ".hidden", "hello", "report.html", "Reports/"});
        qputenv("HOME", QFile::encodeName(root()));
        typed.replace(u"<root>"_s, root());
        expected.replaceInStrings(u"<root>"_s, root());
        QCOMPARE(PathCandidates().Candidates(typed), expected);
        QCOMPARE(PathCandidates().Candidates(typed, 1), expected.mid(0, 1));
    }

    void paths_folderListedAgainOnlyWhenChanged()
    {
        Make(root(), {"one"});
        struct timespec anHourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(root()).constData(), anHourAgo, 0), 0);
        PathCandidates paths;
        for (const char *typed : {"/o", "/on", "/one"})
            QCOMPARE(paths.Candidates(root() + QLatin1String(typed)), Under(root(), {"one"}));
        QCOMPARE(paths.listings(), 1);
        Make(root(), {"other"});
        QCOMPARE(paths.Candidates(root() + u"/o"_s), Under(root(), {"one", "other"}));
    }

    void service_typedThenVisitedThenPaths_webAddressesOnly()
    {
        Make(root(), {"page.html"});
        CompletionService service;
        for (const char *visited : {"http://www.visited/", "https://www.both/", "about:blank",
                                    "file:///etc/hosts", "ftp://www.x/"})
            service.RememberVisited(QUrl(QString::fromLatin1(visited)));
        for (const QString &typed : {u"https://www.both/"_s, u"HTTP://WWW.TYPED/"_s})
            service.RememberTyped(typed);
        QCOMPARE(service.Candidates(u"Http"_s),
                 QStringList({"HTTP://WWW.TYPED/", "https://www.both/", "http://www.visited/"}));
        QCOMPARE(service.Candidates(root() + u"/P"_s), Under(root(), {"page.html"}));
        QCOMPARE(service.Candidates(QString()), QStringList());
        QVERIFY(QFile::exists(data() + u"/typed-addresses.json"_s)); // below XDG_DATA_HOME
    }

    void field_sentAddressOfferedAfterRestart()
    {
        QLineEdit *before = NewField();
        before->setText(u"http://www.mysite/index.html"_s);
        autocomplete::NoteAddressSent(before);
        fields_.clear(); // a new run: only the data folder is left
        QLineEdit *field = NewField();
        QVERIFY(autocomplete::HasAutoComplete(field));
        QCOMPARE(field->completer()->maxVisibleItems(), 12);
        QCOMPARE(Offers(field, u"HTTP://www.my"_s), QStringList{"http://www.mysite/index.html"});
        QAbstractItemView *popup = field->completer()->popup();
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Return);
        QCOMPARE(field->text(), u"http://www.mysite/index.html"_s);
    }

    void field_lastOneGone_serviceForgetsAndRemembersNothing()
    {
        QLineEdit plain; // no completion: nothing remembered for it
        plain.setText(u"http://never/"_s);
        autocomplete::NoteAddressSent(&plain);
        QLineEdit *first = NewField();
        autocomplete::NoteAddressVisited(QUrl(u"http://one/"_s));
        QCOMPARE(Offers(first, u"http://"_s), QStringList{"http://one/"});
        fields_.clear();
        autocomplete::NoteAddressVisited(QUrl(u"http://two/"_s));
        QVERIFY(QFile::remove(data() + u"/visited-addresses.json"_s));
        // A new field starts the service again, with what the folder holds.
        QLineEdit *again = NewField();
        QTest::keyClicks(again, u"http://"_s);
        QCOMPARE(again->completer()->model()->rowCount(), 0);
    }
};

PAGECRIER_TEST_MAIN(TestCompletion)
#include "tst_completion.moc"
