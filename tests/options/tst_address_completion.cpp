// Address completion: the remembered lists, the file-system candidates and
// the completion as a line edit offers it.
#include "address_list.h"
#include "autocomplete.h"
#include "completer_rows.h"
#include "completion_service.h"
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
#include <sys/stat.h>

namespace {

void Touch(const QString &path)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

// Puts the folder's modification time an hour back, as for a folder nobody
// touched lately.
void MakeOld(const QString &folder)
{
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = time(nullptr) - 3600;
    times[0].tv_nsec = times[1].tv_nsec = 0;
    QVERIFY(utimensat(AT_FDCWD, QFile::encodeName(folder).constData(), times, 0) == 0);
}

} // namespace

class AddressCompletionTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // The remembered lists.
    void remember_keepsNewestFirstWithoutDuplicates();
    void remember_dropsTheOldestBeyondTheLimit();
    void remember_survivesReadingTheFileAgain();
    void remember_mergesWhatAnotherCopyWrote();
    void load_damagedFileIsSkippedAndRepairedByNextWrite_data();
    void load_damagedFileIsSkippedAndRepairedByNextWrite();
    void load_skipsEntriesThatAreNoAddresses();
    void remember_unwritableFolderKeepsTheAddressInMemory();

    // File-system candidates.
    void paths_listTheTypedFolderIgnoringCase();
    void paths_hiddenEntriesOnlyForADot();
    void paths_homeAndFileAddressForms();
    void paths_otherTextsAreNoPaths();
    void paths_unchangedFolderIsListedOnce();
    void paths_changedFolderIsListedAfresh();

    // The service.
    void candidates_typedThenVisitedThenPaths();
    void candidates_emptyTextHasNone();
    void candidates_stopAtTheMaximum();
    void visited_onlyWebAddressesAreKept();
    void dataFolder_followsXdgDataHome();

    // Through a line edit.
    void field_typedAddressOfferedAfterRestart();
    void field_visitedAddressOffered();
    void field_pathsFromAFolderOffered();
    void field_choosingACandidateFillsTheField();
    void field_withoutCompletionRemembersNothing();
    void field_attachingTwiceKeepsOneCompleter();
    void field_lastFieldGoneEndsRemembering();

private:
    QLineEdit *NewField();
    void Type(QLineEdit *field, const QString &text);

    QTemporaryDir *data_ = nullptr;
    QTemporaryDir *files_ = nullptr;
    QList<QLineEdit *> fields_;
};

void AddressCompletionTest::init()
{
    data_ = new QTemporaryDir;
    files_ = new QTemporaryDir;
    QVERIFY(data_->isValid() && files_->isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(data_->path()));
    autocomplete::seam::ForgetState();
}

void AddressCompletionTest::cleanup()
{
    qDeleteAll(fields_);
    fields_.clear();
    autocomplete::seam::ForgetState();
    delete data_;
    delete files_;
    data_ = files_ = nullptr;
}

QLineEdit *AddressCompletionTest::NewField()
{
    auto *field = new QLineEdit;
    field->setObjectName(QStringLiteral("url"));
    field->resize(300, field->sizeHint().height());
    fields_.append(field);
    return field;
}

void AddressCompletionTest::Type(QLineEdit *field, const QString &text)
{
    if (!field->isVisible()) {
        field->show();
        field->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(field));
    }
    field->setFocus();
    QVERIFY(field->hasFocus());
    QTest::keyClicks(field, text);
}

void AddressCompletionTest::remember_keepsNewestFirstWithoutDuplicates()
{
    AddressList list(data_->filePath(QStringLiteral("list.json")));
    list.Load();
    QVERIFY(list.entries().isEmpty());
    QVERIFY(list.Remember(QStringLiteral("http://a.example/")));
    QVERIFY(list.Remember(QStringLiteral("http://b.example/")));
    QVERIFY(list.Remember(QStringLiteral("http://a.example/")));
    QVERIFY(list.Remember(QString()));
    QCOMPARE(list.entries(), QStringList({QStringLiteral("http://a.example/"),
                                          QStringLiteral("http://b.example/")}));
}

void AddressCompletionTest::remember_dropsTheOldestBeyondTheLimit()
{
    AddressList list(data_->filePath(QStringLiteral("list.json")), 3);
    for (int i = 1; i <= 5; ++i)
        QVERIFY(list.Remember(QStringLiteral("http://%1.example/").arg(i)));
    QCOMPARE(list.entries(),
             QStringList({QStringLiteral("http://5.example/"), QStringLiteral("http://4.example/"),
                          QStringLiteral("http://3.example/")}));
    QCOMPARE(AddressList::kDefaultLimit, 500);
}

void AddressCompletionTest::remember_survivesReadingTheFileAgain()
{
    const QString path = data_->filePath(QStringLiteral("deeper/list.json"));
    {
        AddressList list(path);
        QVERIFY(list.Remember(QStringLiteral("http://x.example/with space & \"quotes\"")));
        QVERIFY(list.Remember(QStringLiteral("www.ünïcode.example")));
    }
    AddressList again(path);
    again.Load();
    QCOMPARE(again.entries(),
             QStringList({QStringLiteral("www.ünïcode.example"),
                          QStringLiteral("http://x.example/with space & \"quotes\"")}));
}

void AddressCompletionTest::remember_mergesWhatAnotherCopyWrote()
{
    const QString path = data_->filePath(QStringLiteral("list.json"));
    AddressList first(path);
    AddressList second(path);
    first.Load();
    second.Load();
    QVERIFY(first.Remember(QStringLiteral("http://first.example/")));
    QVERIFY(second.Remember(QStringLiteral("http://second.example/")));
    first.Load();
    QCOMPARE(first.entries(), QStringList({QStringLiteral("http://second.example/"),
                                           QStringLiteral("http://first.example/")}));
}

void AddressCompletionTest::load_damagedFileIsSkippedAndRepairedByNextWrite_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("garbage") << QByteArray("\x01\x02 not a list at all \xff", 24);
    QTest::newRow("cut short") << QByteArray(
        R"({"format":"pagecrier-addresses","addresses":["http://a)");
    QTest::newRow("other document") << QByteArray(R"({"addresses":["http://a.example/"]})");
    QTest::newRow("no array") << QByteArray(R"({"format":"pagecrier-addresses","addresses":"x"})");
    QTest::newRow("array at top") << QByteArray(R"(["http://a.example/"])");
    QTest::newRow("empty file") << QByteArray();
}

void AddressCompletionTest::load_damagedFileIsSkippedAndRepairedByNextWrite()
{
    QFETCH(QByteArray, content);
    const QString path = data_->filePath(QStringLiteral("list.json"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    AddressList list(path);
    list.Load();
    QVERIFY(list.entries().isEmpty());
    QVERIFY(list.Remember(QStringLiteral("http://new.example/")));

    AddressList again(path);
    again.Load();
    QCOMPARE(again.entries(), QStringList{QStringLiteral("http://new.example/")});
}

void AddressCompletionTest::load_skipsEntriesThatAreNoAddresses()
{
    const QByteArray content = R"({"format":"pagecrier-addresses","addresses":
        ["http://a.example/", 17, "", null, "http://a.example/", {"x":1}, "http://b.example/"]})";
    QCOMPARE(AddressList::Parse(content, 500), QStringList({QStringLiteral("http://a.example/"),
                                                            QStringLiteral("http://b.example/")}));
    QCOMPARE(AddressList::Parse(content, 1), QStringList{QStringLiteral("http://a.example/")});
    QCOMPARE(AddressList::Parse(
                 AddressList::Serialize({QStringLiteral("one"), QStringLiteral("two")}), 500),
             QStringList({QStringLiteral("one"), QStringLiteral("two")}));
}

void AddressCompletionTest::remember_unwritableFolderKeepsTheAddressInMemory()
{
    // A plain file where the folder should be: nothing can be written below
    // it, whoever runs the test.
    const QString blocker = data_->filePath(QStringLiteral("blocker"));
    Touch(blocker);
    AddressList list(blocker + QStringLiteral("/list.json"));
    list.Load();
    QVERIFY(!list.Remember(QStringLiteral("http://kept.example/")));
    QCOMPARE(list.entries(), QStringList{QStringLiteral("http://kept.example/")});
}

void AddressCompletionTest::paths_listTheTypedFolderIgnoringCase()
{
    const QString root = files_->path();
    Touch(root + QStringLiteral("/Alpha.txt"));
    Touch(root + QStringLiteral("/beta.txt"));
    QVERIFY(QDir(root).mkdir(QStringLiteral("alpine")));

    PathCandidates paths;
    QCOMPARE(paths.Candidates(root + QStringLiteral("/AL")),
             QStringList({root + QStringLiteral("/Alpha.txt"), root + QStringLiteral("/alpine/")}));
    QCOMPARE(paths.Candidates(root + QStringLiteral("/")),
             QStringList({root + QStringLiteral("/Alpha.txt"), root + QStringLiteral("/alpine/"),
                          root + QStringLiteral("/beta.txt")}));
    QCOMPARE(paths.Candidates(root + QStringLiteral("/alpine/")), QStringList());
    QCOMPARE(paths.Candidates(root + QStringLiteral("/missing/")), QStringList());
    QCOMPARE(paths.Candidates(root + QStringLiteral("/x")), QStringList());
}

void AddressCompletionTest::paths_hiddenEntriesOnlyForADot()
{
    const QString root = files_->path();
    Touch(root + QStringLiteral("/.hidden"));
    Touch(root + QStringLiteral("/hello"));
    PathCandidates paths;
    QCOMPARE(paths.Candidates(root + QStringLiteral("/h")),
             QStringList{root + QStringLiteral("/hello")});
    QCOMPARE(paths.Candidates(root + QStringLiteral("/.")),
             QStringList{root + QStringLiteral("/.hidden")});
}

void AddressCompletionTest::paths_homeAndFileAddressForms()
{
    const QString root = files_->path();
    Touch(root + QStringLiteral("/report.html"));
    QVERIFY(QDir(root).mkdir(QStringLiteral("Reports")));

    PathCandidates paths;
    QCOMPARE(paths.Candidates(QStringLiteral("file://") + root + QStringLiteral("/rep")),
             QStringList({QStringLiteral("file://") + root + QStringLiteral("/report.html"),
                          QStringLiteral("file://") + root + QStringLiteral("/Reports/")}));
    QCOMPARE(paths.Candidates(QStringLiteral("FILE:") + root + QStringLiteral("/Reports")),
             QStringList{QStringLiteral("FILE:") + root + QStringLiteral("/Reports/")});
    QCOMPARE(paths.Candidates(QStringLiteral("file://host/x")), QStringList());

    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(root));
    const QStringList fromHome = paths.Candidates(QStringLiteral("~/report"));
    qputenv("HOME", oldHome);
    QCOMPARE(fromHome,
             QStringList({QStringLiteral("~/report.html"), QStringLiteral("~/Reports/")}));
}

void AddressCompletionTest::paths_otherTextsAreNoPaths()
{
    PathCandidates paths;
    for (const char *text : {"h", "http://", "www.example.org", "~", "~root/", "file:", "C:\\"})
        QCOMPARE(paths.Candidates(QString::fromLatin1(text)), QStringList());
    PathCandidates::Split split;
    QVERIFY(PathCandidates::SplitTyped(QStringLiteral("/usr/lo"), &split));
    QCOMPARE(split.shownFolder, QStringLiteral("/usr/"));
    QCOMPARE(split.localFolder, QStringLiteral("/usr/"));
    QCOMPARE(split.namePrefix, QStringLiteral("lo"));
}

void AddressCompletionTest::paths_unchangedFolderIsListedOnce()
{
    const QString root = files_->path();
    Touch(root + QStringLiteral("/one"));
    MakeOld(root);
    PathCandidates paths;
    QCOMPARE(paths.Candidates(root + QStringLiteral("/o")).size(), 1);
    QCOMPARE(paths.Candidates(root + QStringLiteral("/on")).size(), 1);
    QCOMPARE(paths.Candidates(root + QStringLiteral("/one")).size(), 1);
    QCOMPARE(paths.listings(), 1);
}

void AddressCompletionTest::paths_changedFolderIsListedAfresh()
{
    const QString root = files_->path();
    Touch(root + QStringLiteral("/one"));
    MakeOld(root);
    PathCandidates paths;
    QCOMPARE(paths.Candidates(root + QStringLiteral("/o")),
             QStringList{root + QStringLiteral("/one")});
    Touch(root + QStringLiteral("/other"));
    QCOMPARE(paths.Candidates(root + QStringLiteral("/o")),
             QStringList({root + QStringLiteral("/one"), root + QStringLiteral("/other")}));
}

void AddressCompletionTest::candidates_typedThenVisitedThenPaths()
{
    const QString root = files_->path();
    Touch(root + QStringLiteral("/page.html"));
    CompletionService service(data_->path());
    service.RememberVisited(QUrl(QStringLiteral("http://www.visited.example/")));
    service.RememberVisited(QUrl(QStringLiteral("http://www.both.example/")));
    service.RememberTyped(QStringLiteral("http://www.both.example/"));
    service.RememberTyped(QStringLiteral("HTTP://WWW.TYPED.EXAMPLE/"));
    service.RememberTyped(QStringLiteral("ftp://elsewhere/"));

    QCOMPARE(service.Candidates(QStringLiteral("http://www.")),
             QStringList({QStringLiteral("HTTP://WWW.TYPED.EXAMPLE/"),
                          QStringLiteral("http://www.both.example/"),
                          QStringLiteral("http://www.visited.example/")}));
    QCOMPARE(service.Candidates(QStringLiteral("Http://www.v")),
             QStringList{QStringLiteral("http://www.visited.example/")});
    QCOMPARE(service.Candidates(root + QStringLiteral("/P")),
             QStringList{root + QStringLiteral("/page.html")});
    QCOMPARE(service.Candidates(QStringLiteral("nothing")), QStringList());
}

void AddressCompletionTest::candidates_emptyTextHasNone()
{
    CompletionService service(data_->path());
    service.RememberTyped(QStringLiteral("http://a.example/"));
    QCOMPARE(service.Candidates(QString()), QStringList());
}

void AddressCompletionTest::candidates_stopAtTheMaximum()
{
    const QString root = files_->path();
    for (int i = 0; i < 30; ++i)
        Touch(root + QStringLiteral("/f%1").arg(i, 2, 10, QLatin1Char('0')));
    const int limit = CompletionService::kMaxCandidates;
    QStringList typed;
    for (int i = 0; i < limit - 10; ++i)
        typed.prepend(QStringLiteral("/t%1").arg(i));
    {
        QFile file(data_->filePath(QStringLiteral("typed-addresses.json")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(AddressList::Serialize(typed));
    }
    CompletionService service(data_->path(), limit + 10);
    QCOMPARE(service.typed().entries(), typed);
    const QStringList candidates = service.Candidates(QStringLiteral("/"));
    QCOMPARE(candidates.size(), limit);
    // The typed ones first, then the first few of the paths typed before.
    QCOMPARE(candidates.mid(0, limit - 10), typed);
    QVERIFY(!candidates.contains(root + QStringLiteral("/f00")));

    const QStringList paths = service.Candidates(root + QStringLiteral("/f"));
    QCOMPARE(paths.size(), 30);
    QCOMPARE(paths.first(), root + QStringLiteral("/f00"));
}

void AddressCompletionTest::visited_onlyWebAddressesAreKept()
{
    CompletionService service(data_->path());
    service.RememberVisited(QUrl(QStringLiteral("about:blank")));
    service.RememberVisited(QUrl(QStringLiteral("file:///etc/hosts")));
    service.RememberVisited(QUrl(QStringLiteral("ftp://files.example/")));
    service.RememberVisited(QUrl());
    QVERIFY(service.visited().entries().isEmpty());
    service.RememberVisited(QUrl(QStringLiteral("https://secure.example/a?b=c")));
    service.RememberVisited(QUrl(QStringLiteral("HTTP://plain.example/")));
    QCOMPARE(service.visited().entries(),
             QStringList({QStringLiteral("http://plain.example/"),
                          QStringLiteral("https://secure.example/a?b=c")}));
}

void AddressCompletionTest::dataFolder_followsXdgDataHome()
{
    QCOMPARE(CompletionService::DefaultDataDir(), data_->path() + QStringLiteral("/pagecrier"));
    CompletionService service;
    service.RememberTyped(QStringLiteral("http://a.example/"));
    QVERIFY(QFile::exists(data_->path() + QStringLiteral("/pagecrier/typed-addresses.json")));

    const QByteArray old = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "relative/ignored");
    const QString fallback = CompletionService::DefaultDataDir();
    qunsetenv("XDG_DATA_HOME");
    const QString unset = CompletionService::DefaultDataDir();
    qputenv("XDG_DATA_HOME", old);
    QCOMPARE(fallback, QDir::homePath() + QStringLiteral("/.local/share/pagecrier"));
    QCOMPARE(unset, fallback);
}

void AddressCompletionTest::field_typedAddressOfferedAfterRestart()
{
    QLineEdit *before = NewField();
    autocomplete::MakeAutoComplete(before);
    before->setText(QStringLiteral("http://www.mysite.example/index.html"));
    autocomplete::NoteAddressSent(before);

    // A new run of the program: nothing in memory, only the data folder.
    autocomplete::seam::ForgetState();
    delete before;
    fields_.removeAll(before);

    QLineEdit *field = NewField();
    autocomplete::MakeAutoComplete(field);
    QVERIFY(autocomplete::HasAutoComplete(field));
    Type(field, QStringLiteral("HTTP://www.my"));
    QCompleter *completer = field->completer();
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(Shown(completer), QStringList{QStringLiteral("http://www.mysite.example/index.html")});
    QCOMPARE(field->text(), QStringLiteral("HTTP://www.my"));

    QTest::keyClicks(field, QStringLiteral("x"));
    QTRY_VERIFY(!completer->popup()->isVisible());
    QVERIFY(Shown(completer).isEmpty());
}

void AddressCompletionTest::field_visitedAddressOffered()
{
    QLineEdit *field = NewField();
    autocomplete::MakeAutoComplete(field);
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("https://answer.example/thanks")));
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("about:blank")));
    Type(field, QStringLiteral("h"));
    QTRY_VERIFY(field->completer()->popup()->isVisible());
    QCOMPARE(Shown(field->completer()),
             QStringList{QStringLiteral("https://answer.example/thanks")});
    QVERIFY(QFile::exists(data_->path() + QStringLiteral("/pagecrier/visited-addresses.json")));
}

void AddressCompletionTest::field_pathsFromAFolderOffered()
{
    const QString root = files_->path();
    Touch(root + QStringLiteral("/index.html"));
    Touch(root + QStringLiteral("/Index-old.html"));
    Touch(root + QStringLiteral("/other.html"));
    QLineEdit *field = NewField();
    autocomplete::MakeAutoComplete(field);
    Type(field, root + QStringLiteral("/in"));
    QTRY_VERIFY(field->completer()->popup()->isVisible());
    QCOMPARE(Shown(field->completer()), QStringList({root + QStringLiteral("/Index-old.html"),
                                                     root + QStringLiteral("/index.html")}));
}

void AddressCompletionTest::field_choosingACandidateFillsTheField()
{
    const QString root = files_->path();
    Touch(root + QStringLiteral("/chosen.html"));
    QLineEdit *field = NewField();
    autocomplete::MakeAutoComplete(field);
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("http://chosen.example/")));
    QSignalSpy changed(field, &QLineEdit::textChanged);

    Type(field, QStringLiteral("http://ch"));
    QAbstractItemView *popup = field->completer()->popup();
    QTRY_VERIFY(popup->isVisible());
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Return);
    QCOMPARE(field->text(), QStringLiteral("http://chosen.example/"));
    QTRY_VERIFY(!popup->isVisible());
    QCOMPARE(changed.last().first().toString(), QStringLiteral("http://chosen.example/"));

    // A path chosen with the mouse.
    field->clear();
    Type(field, root + QStringLiteral("/c"));
    QTRY_VERIFY(popup->isVisible());
    const QModelIndex first = popup->model()->index(0, 0);
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, popup->visualRect(first).center());
    QCOMPARE(field->text(), root + QStringLiteral("/chosen.html"));
}

void AddressCompletionTest::field_withoutCompletionRemembersNothing()
{
    QLineEdit plain;
    plain.setText(QStringLiteral("http://never.example/"));
    autocomplete::NoteAddressSent(&plain);
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("http://never.example/visited")));
    QVERIFY(!autocomplete::HasAutoComplete(&plain));
    QVERIFY(!QDir(data_->path() + QStringLiteral("/pagecrier")).exists());

    QLineEdit *field = NewField();
    autocomplete::MakeAutoComplete(field);
    autocomplete::NoteAddressSent(&plain);
    Type(field, QStringLiteral("http://never"));
    QTest::qWait(0);
    QVERIFY(!field->completer()->popup()->isVisible());
}

void AddressCompletionTest::field_attachingTwiceKeepsOneCompleter()
{
    QLineEdit *field = NewField();
    autocomplete::MakeAutoComplete(field);
    QCompleter *completer = field->completer();
    autocomplete::MakeAutoComplete(field);
    QCOMPARE(field->completer(), completer);
    autocomplete::MakeAutoComplete(nullptr);
}

void AddressCompletionTest::field_lastFieldGoneEndsRemembering()
{
    const QString visitedFile = data_->path() + QStringLiteral("/pagecrier/visited-addresses.json");
    QLineEdit *first = NewField();
    QLineEdit *second = NewField();
    autocomplete::MakeAutoComplete(first);
    autocomplete::MakeAutoComplete(second);
    delete first;
    fields_.removeAll(first);
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("http://one.example/")));
    QVERIFY(QFile::exists(visitedFile));
    QVERIFY(QFile::remove(visitedFile));

    delete second;
    fields_.removeAll(second);
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("http://two.example/")));
    QVERIFY(!QFile::exists(visitedFile));

    // A new field starts the service again, with what the folder holds.
    QLineEdit *again = NewField();
    autocomplete::MakeAutoComplete(again);
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("http://three.example/")));
    Type(again, QStringLiteral("http://"));
    QTRY_VERIFY(again->completer()->popup()->isVisible());
    QCOMPARE(Shown(again->completer()), QStringList{QStringLiteral("http://three.example/")});
}

QTEST_MAIN(AddressCompletionTest)
#include "tst_address_completion.moc"
