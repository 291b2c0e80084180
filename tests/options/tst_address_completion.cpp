// Address completion: the remembered lists, the file-system candidates and
// the completion as a line edit offers it.
#include "address_list.h"
#include "autocomplete.h"
#include "completion_service.h"
#include "options_helpers.h"
#include "path_candidates.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// Puts the folder's modification time an hour back, as for a folder nobody
// touched lately.
void MakeOld(const QString &folder)
{
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time(nullptr) - 3600;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    QVERIFY(utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), times, 0) == 0);
}

// Files that hold no address list (out of the test class: moc misreads raw
// strings in it).
const std::pair<const char *, QByteArray> kDamagedFiles[] = {
    {"garbage", QByteArray("\x01\x02 not a list at all \xff", 24)},
    {"cut short", R"({"format":"pagecrier-addresses","addresses":["http://a)"},
    {"other document", R"({"addresses":["http://a.example/"]})"},
    {"no array", R"({"format":"pagecrier-addresses","addresses":"x"})"},
    {"array at top", R"(["http://a.example/"])"},
    {"empty file", QByteArray()},
};

// A list with some entries that are no addresses.
const QByteArray kMixedList = R"({"format":"pagecrier-addresses","addresses":
    ["http://a.example/", 17, "", null, "http://a.example/", {"x":1}, "http://b.example/"]})";

} // namespace

class AddressCompletionTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        data_.emplace();
        files_.emplace();
        QVERIFY(data_->isValid() && files_->isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(data_->path()));
        autocomplete::seam::ForgetState();
    }

    void cleanup()
    {
        qDeleteAll(fields_);
        fields_.clear();
        autocomplete::seam::ForgetState();
        data_.reset();
        files_.reset();
    }

    // The remembered lists.
    void remember_keepsNewestFirstWithoutDuplicatesWithinTheLimit()
    {
        AddressList list(ListFile(), 3);
        list.Load();
        QVERIFY(list.entries().isEmpty());
        for (const QString &address :
             {u"http://a.example/"_s, u"http://b.example/"_s, u"http://a.example/"_s, QString()})
            QVERIFY(list.Remember(address));
        QCOMPARE(list.entries(), QStringList({"http://a.example/", "http://b.example/"}));

        for (int i = 1; i <= 5; ++i)
            QVERIFY(list.Remember(u"http://%1.example/"_s.arg(i)));
        QCOMPARE(list.entries(),
                 QStringList({"http://5.example/", "http://4.example/", "http://3.example/"}));
    }

    void remember_writesTheFileOtherCopiesRead()
    {
        // Two copies of the program on one file, in a folder still to be made.
        const QString path = data_->filePath(u"deeper/list.json"_s);
        AddressList first(path);
        AddressList second(path);
        first.Load();
        second.Load();
        QVERIFY(first.Remember(u"http://x.example/with space & \"quotes\""_s));
        QVERIFY(second.Remember(u"www.ünïcode.example"_s));
        first.Load();
        QCOMPARE(first.entries(),
                 QStringList({"www.ünïcode.example", "http://x.example/with space & \"quotes\""}));
    }

    void load_damagedFileIsSkippedAndRepairedByNextWrite_data()
    {
        QTest::addColumn<QByteArray>("content");
        for (const auto &[name, content] : kDamagedFiles)
            QTest::newRow(name) << content;
    }

    void load_damagedFileIsSkippedAndRepairedByNextWrite()
    {
        QFETCH(QByteArray, content);
        {
            QFile file(ListFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        AddressList list(ListFile());
        list.Load();
        QVERIFY(list.entries().isEmpty());
        QVERIFY(list.Remember(u"http://new.example/"_s));

        AddressList again(ListFile());
        again.Load();
        QCOMPARE(again.entries(), QStringList{"http://new.example/"});
    }

    void load_skipsEntriesThatAreNoAddresses()
    {
        QCOMPARE(AddressList::Parse(kMixedList, 500),
                 QStringList({"http://a.example/", "http://b.example/"}));
        QCOMPARE(AddressList::Parse(kMixedList, 1), QStringList{"http://a.example/"});
    }

    void remember_unwritableFolderKeepsTheAddressInMemory()
    {
        // A plain file where the folder should be: nothing can be written below
        // it, whoever runs the test.
        Make(data_->path(), {"blocker"});
        AddressList list(data_->filePath(u"blocker/list.json"_s));
        list.Load();
        QVERIFY(!list.Remember(u"http://kept.example/"_s));
        QCOMPARE(list.entries(), QStringList{"http://kept.example/"});
    }

    // File-system candidates.
    void paths_data()
    {
        // "<root>" stands for a folder holding Alpha.txt, alpine/ (empty),
        // beta.txt, .hidden, hello, report.html and Reports/; HOME is that folder.
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
        for (const QString &none : {u"<root>/alpine/"_s, u"<root>/missing/"_s, u"<root>/x"_s})
            QTest::addRow("none for %s", qPrintable(none)) << none << QStringList();
        for (const QString &other : {u"h"_s, u"http://"_s, u"www.example.org"_s, u"~"_s,
                                     u"~root/"_s, u"file:"_s, u"file://host/x"_s, u"C:\\"_s})
            QTest::addRow("no path: %s", qPrintable(other)) << other << QStringList();
    }

    void paths()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        const QString root = files_->path();
        Make(root,
             {"Alpha.txt", "alpine/", "beta.txt", ".hidden", "hello", "report.html", "Reports/"});
        expected.replaceInStrings(u"<root>"_s, root);

        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(root));
        const QStringList candidates =
            PathCandidates().Candidates(typed.replace(u"<root>"_s, root));
        qputenv("HOME", oldHome);
        QCOMPARE(candidates, expected);
    }

    void paths_folderListedAgainOnlyWhenChanged()
    {
        const QString root = files_->path();
        Make(root, {"one"});
        MakeOld(root);
        PathCandidates paths;
        for (const char *typed : {"/o", "/on", "/one"})
            QCOMPARE(paths.Candidates(root + QLatin1String(typed)), Under(root, {"one"}));
        QCOMPARE(paths.listings(), 1);

        Make(root, {"other"});
        QCOMPARE(paths.Candidates(root + u"/o"_s), Under(root, {"one", "other"}));
    }

    // The service.
    void candidates_typedThenVisitedThenPaths()
    {
        const QString root = files_->path();
        Make(root, {"page.html"});
        CompletionService service(data_->path());
        service.RememberVisited(QUrl(u"http://www.visited.example/"_s));
        service.RememberVisited(QUrl(u"http://www.both.example/"_s));
        for (const QString &typed :
             {u"http://www.both.example/"_s, u"HTTP://WWW.TYPED.EXAMPLE/"_s, u"ftp://elsewhere/"_s})
            service.RememberTyped(typed);

        QCOMPARE(service.Candidates(u"http://www."_s),
                 QStringList({"HTTP://WWW.TYPED.EXAMPLE/", "http://www.both.example/",
                              "http://www.visited.example/"}));
        QCOMPARE(service.Candidates(u"Http://www.v"_s), QStringList{"http://www.visited.example/"});
        QCOMPARE(service.Candidates(root + u"/P"_s), Under(root, {"page.html"}));
        QCOMPARE(service.Candidates(u"nothing"_s), QStringList());
        QCOMPARE(service.Candidates(QString()), QStringList());
    }

    void candidates_stopAtTheMaximum()
    {
        const QString root = files_->path();
        for (int i = 0; i < 30; ++i)
            Make(root, {u"f%1"_s.arg(i, 2, 10, QLatin1Char('0'))});
        const int limit = CompletionService::kMaxCandidates;
        QStringList typed;
        for (int i = 0; i < limit - 10; ++i)
            typed.prepend(u"/t%1"_s.arg(i));
        {
            QFile file(data_->filePath(u"typed-addresses.json"_s));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(AddressList::Serialize(typed));
        }
        CompletionService service(data_->path(), limit + 10);
        QCOMPARE(service.typed().entries(), typed);
        const QStringList candidates = service.Candidates(u"/"_s);
        QCOMPARE(candidates.size(), limit);
        // The typed ones first, then the first few of the paths typed before.
        QCOMPARE(candidates.mid(0, limit - 10), typed);
        QVERIFY(!candidates.contains(root + u"/f00"_s));

        const QStringList paths = service.Candidates(root + u"/f"_s);
        QCOMPARE(paths.size(), 30);
        QCOMPARE(paths.first(), root + u"/f00"_s);
    }

    void visited_onlyWebAddressesAreKept()
    {
        CompletionService service(data_->path());
        for (const QString &other :
             {u"about:blank"_s, u"file:///etc/hosts"_s, u"ftp://files.example/"_s, QString()})
            service.RememberVisited(QUrl(other));
        QVERIFY(service.visited().entries().isEmpty());
        service.RememberVisited(QUrl(u"https://secure.example/a?b=c"_s));
        service.RememberVisited(QUrl(u"HTTP://plain.example/"_s));
        QCOMPARE(service.visited().entries(),
                 QStringList({"http://plain.example/", "https://secure.example/a?b=c"}));
    }

    void dataFolder_followsXdgDataHome()
    {
        QCOMPARE(CompletionService::DefaultDataDir(), data_->path() + u"/pagecrier"_s);
        CompletionService().RememberTyped(u"http://a.example/"_s);
        QVERIFY(QFile::exists(data_->path() + u"/pagecrier/typed-addresses.json"_s));

        // A relative XDG_DATA_HOME counts as unset.
        const QByteArray old = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", "relative/ignored");
        const QString fallback = CompletionService::DefaultDataDir();
        qunsetenv("XDG_DATA_HOME");
        const QString unset = CompletionService::DefaultDataDir();
        qputenv("XDG_DATA_HOME", old);
        QCOMPARE(fallback, QDir::homePath() + u"/.local/share/pagecrier"_s);
        QCOMPARE(unset, fallback);
    }

    // Through a line edit.
    void field_typedAddressOfferedAfterRestart()
    {
        QLineEdit *before = NewField();
        before->setText(u"http://www.mysite.example/index.html"_s);
        autocomplete::NoteAddressSent(before);

        // A new run of the program: nothing in memory, only the data folder.
        autocomplete::seam::ForgetState();
        DropField(before);

        QLineEdit *field = NewField();
        QVERIFY(autocomplete::HasAutoComplete(field));
        QCOMPARE(Offers(field, u"HTTP://www.my"_s),
                 QStringList{"http://www.mysite.example/index.html"});
        QCOMPARE(field->text(), u"HTTP://www.my"_s);

        QTest::keyClicks(field, u"x"_s);
        QTRY_VERIFY(!field->completer()->popup()->isVisible());
        QCOMPARE(field->completer()->completionCount(), 0);
    }

    void field_visitedAddressesAndPathsOffered()
    {
        const QString root = files_->path();
        Make(root, {"index.html", "Index-old.html", "other.html"});
        QLineEdit *field = NewField();
        autocomplete::NoteAddressVisited(QUrl(u"https://answer.example/thanks"_s));
        autocomplete::NoteAddressVisited(QUrl(u"about:blank"_s));
        QCOMPARE(Offers(field, u"h"_s), QStringList{"https://answer.example/thanks"});
        QVERIFY(QFile::exists(data_->path() + u"/pagecrier/visited-addresses.json"_s));
        field->clear();
        QCOMPARE(Offers(field, root + u"/in"_s), Under(root, {"Index-old.html", "index.html"}));
    }

    void field_choosingACandidateFillsTheField()
    {
        const QString root = files_->path();
        Make(root, {"chosen.html"});
        QLineEdit *field = NewField();
        autocomplete::NoteAddressVisited(QUrl(u"http://chosen.example/"_s));
        QSignalSpy changed(field, &QLineEdit::textChanged);

        QCOMPARE(Offers(field, u"http://ch"_s), QStringList{"http://chosen.example/"});
        QAbstractItemView *popup = field->completer()->popup();
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Return);
        QCOMPARE(field->text(), u"http://chosen.example/"_s);
        QTRY_VERIFY(!popup->isVisible());
        QCOMPARE(changed.last().first().toString(), u"http://chosen.example/"_s);

        // A path chosen with the mouse.
        field->clear();
        QCOMPARE(Offers(field, root + u"/c"_s), Under(root, {"chosen.html"}));
        const QModelIndex first = popup->model()->index(0, 0);
        QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, popup->visualRect(first).center());
        QCOMPARE(field->text(), root + u"/chosen.html"_s);
    }

    void field_withoutCompletionRemembersNothing()
    {
        QLineEdit plain;
        plain.setText(u"http://never.example/"_s);
        autocomplete::NoteAddressSent(&plain);
        autocomplete::NoteAddressVisited(QUrl(u"http://never.example/visited"_s));
        QVERIFY(!autocomplete::HasAutoComplete(&plain));
        QVERIFY(!QDir(data_->path() + u"/pagecrier"_s).exists());

        QLineEdit *field = NewField();
        autocomplete::NoteAddressSent(&plain);
        Type(field, u"http://never"_s);
        QTest::qWait(0);
        QVERIFY(!field->completer()->popup()->isVisible());
    }

    void field_attachingTwiceKeepsOneCompleter()
    {
        QLineEdit *field = NewField();
        QCompleter *completer = field->completer();
        autocomplete::MakeAutoComplete(field);
        QCOMPARE(field->completer(), completer);
        autocomplete::MakeAutoComplete(nullptr);
    }

    void field_lastFieldGoneEndsRemembering()
    {
        const QString visitedFile = data_->path() + u"/pagecrier/visited-addresses.json"_s;
        QLineEdit *first = NewField();
        QLineEdit *second = NewField();
        DropField(first);
        autocomplete::NoteAddressVisited(QUrl(u"http://one.example/"_s));
        QVERIFY(QFile::exists(visitedFile));
        QVERIFY(QFile::remove(visitedFile));

        DropField(second);
        autocomplete::NoteAddressVisited(QUrl(u"http://two.example/"_s));
        QVERIFY(!QFile::exists(visitedFile));

        // A new field starts the service again, with what the folder holds.
        QLineEdit *again = NewField();
        autocomplete::NoteAddressVisited(QUrl(u"http://three.example/"_s));
        QCOMPARE(Offers(again, u"http://"_s), QStringList{"http://three.example/"});
    }

private:
    QString ListFile() const { return data_->filePath(u"list.json"_s); }
    // A new address field with the completion attached.
    QLineEdit *NewField()
    {
        auto *field = new QLineEdit;
        field->setObjectName(u"url"_s);
        field->resize(300, field->sizeHint().height());
        fields_.append(field);
        autocomplete::MakeAutoComplete(field);
        return field;
    }

    void DropField(QLineEdit *field)
    {
        fields_.removeAll(field);
        delete field;
    }

    void Type(QLineEdit *field, const QString &text)
    {
        if (!field->isVisible())
            Activate(field);
        field->setFocus();
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, text);
    }

    // What the field offers once text is typed into it.
    QStringList Offers(QLineEdit *field, const QString &text)
    {
        Type(field, text);
        return Offered(field);
    }

    std::optional<QTemporaryDir> data_;
    std::optional<QTemporaryDir> files_;
    QList<QLineEdit *> fields_;
};

QTEST_MAIN(AddressCompletionTest)
#include "tst_address_completion.moc"
