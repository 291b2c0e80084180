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

// Makes the named files (folders: ending in "/") below the scratch folder's
// "files"; returns their paths.
QStringList Make(const QStringList &names)
{
    QStringList paths;
    for (const QString &name : names) {
        paths << Scratch().filePath(u"files/"_s + name);
        QDir().mkpath(QFileInfo(paths.last()).path());
        if (!name.endsWith('/'))
            QFile(paths.last()).open(QIODevice::WriteOnly);
    }
    return paths;
}

// The start of an address list file, and entries some of which are none
// (out of the test class: moc misreads raw strings in it).
const QByteArray kListHead = R"({"format":"pagecrier-addresses","addresses":)";
const QByteArray kMixed = kListHead + R"(["http://a/", 17, "", null, "http://a/", "http://b/"]})";

} // namespace

class TestCompletion : public QObject
{
    Q_OBJECT

    QString data() const { return Scratch().filePath(u"data/pagecrier"_s); }
    QString files() const { return Scratch().filePath(u"files"_s); }

private slots:
    void init()
    {
        Scratch(true);
        autocomplete::seam::ForgetState();
    }

    void parse_listsOnly_addressesOnly_withinTheLimit_unwrittenKeptForTheRun()
    {
        QCOMPARE(AddressList::Parse("\x01\x02 not a list \xff", 9), QStringList());
        QCOMPARE(AddressList::Parse("{\"addresses\":[\"http://a/\"]}", 9), QStringList());
        QCOMPARE(AddressList::Parse(kListHead + "\"x\"}", 9), QStringList()); // no array
        QCOMPARE(AddressList::Parse(kMixed, 9), QStringList({"http://a/", "http://b/"}));
        QCOMPARE(AddressList::Parse(kMixed, 1), QStringList{"http://a/"});
        // Not written (its folder is a file), an address is kept for the run.
        AddressList unwritten(Make({u"f"_s})[0] + u"/list"_s, 1);
        QVERIFY(!unwritten.Remember(u"http://a/"_s) && !unwritten.Remember(u"http://b/"_s) &&
                unwritten.entries() == QStringList{u"http://b/"_s});
    }

    void paths_data()
    {
        // <f> holds Alpha.txt, alpine/, beta.txt, .hidden, hello, report.html
        // and Reports/; so does HOME.
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *typed, const QStringList &expected) {
            QTest::newRow(typed) << QString::fromLatin1(typed) << expected;
        };
        row("<f>/AL", {"<f>/Alpha.txt", "<f>/alpine/"});
        row("<f>/", {"<f>/Alpha.txt", "<f>/alpine/", "<f>/beta.txt", "<f>/hello", "<f>/report.html",
                     "<f>/Reports/"});
        row("<f>/.", {"<f>/.hidden"});
        row("file://<f>/rep", {"file://<f>/report.html", "file://<f>/Reports/"});
        row("FILE:<f>/Reports", {"FILE:<f>/Reports/"});
        row("~/report", {"~/report.html", "~/Reports/"});
        for (const char *none :
             {"<f>/alpine/", "<f>/missing/", "h", "~", "http://", "file:", "file://host/x", "C:\\"})
            row(none, {});
    }
    void paths()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        Make({"Alpha.txt", "alpine/", "beta.txt", ".hidden", "hello", "report.html", "Reports/"});
        qputenv("HOME", QFile::encodeName(files()));
        typed.replace(u"<f>"_s, files());
        expected.replaceInStrings(u"<f>"_s, files());
        QCOMPARE(PathCandidates().Candidates(typed), expected);
        QCOMPARE(PathCandidates().Candidates(typed, 1), expected.mid(0, 1));
    }

    void service_typedThenVisitedThenPaths_eachNewestFirstWithinTheLimit_foldersListedOnce()
    {
        const QStringList page = Make({u"page.html"_s});
        struct timespec anHourAgo[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(files()).constData(), anHourAgo, 0), 0);
        CompletionService service(data(), 3); // in a folder still to be made
        for (const char *visited :
             {"http://v/", "https://both/", "about:blank", "file:///etc/hosts"})
            service.RememberVisited(QUrl(QString::fromLatin1(visited)));
        for (const char *typed :
             {"http://x/", "https://both/", "http://a/", "https://both/", "", "HTTP://C/"})
            service.RememberTyped(QString::fromLatin1(typed));
        QCOMPARE(service.Candidates(u"Http"_s),
                 QStringList({"HTTP://C/", "https://both/", "http://a/", "http://v/"}));
        for (const char *typed : {"/p", "/pa", "/page.html"}) // the folder is listed once
            QCOMPARE(service.Candidates(files() + QLatin1String(typed)), page);
        QCOMPARE(service.paths().listings(), 1);
        const QStringList other = Make({u"pother"_s}); // and again once it changes
        QCOMPARE(service.Candidates(files() + u"/p"_s), page + other);
        QCOMPARE(service.Candidates(QString()), QStringList());
    }

    void field_offersWhatWasSent_lastOneGoneForgetsIt()
    {
        QLineEdit plain; // no completion: nothing remembered for it
        plain.setText(u"http://never/"_s);
        autocomplete::NoteAddressSent(&plain);
        auto field = std::make_unique<QLineEdit>();
        autocomplete::MakeAutoComplete(field.get());
        field->setText(u"http://www.mysite/index.html"_s);
        autocomplete::NoteAddressSent(field.get());
        field.reset(new QLineEdit); // a new run: only the data folder is left
        autocomplete::MakeAutoComplete(field.get());
        field->show();
        field->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(field.get()));
        QTest::keyClicks(field.get(), u"HTTP://"_s);
        QTRY_VERIFY(field->completer()->popup()->isVisible());
        QCOMPARE(field->completer()->completionCount(), 1);
        QTest::keyClick(field->completer()->popup(), Qt::Key_Down);
        QTest::keyClick(field->completer()->popup(), Qt::Key_Return);
        QCOMPARE(field->text(), u"http://www.mysite/index.html"_s);
        // The last field gone, the service goes: a new one reads the folder.
        field.reset();
        autocomplete::NoteAddressVisited(QUrl(u"http://two/"_s));
        QVERIFY(QFile::remove(data() + u"/typed-addresses.json"_s)); // below XDG_DATA_HOME
        field.reset(new QLineEdit);
        autocomplete::MakeAutoComplete(field.get());
        QTest::keyClicks(field.get(), u"http://"_s);
        QCOMPARE(field->completer()->model()->rowCount(), 0);
    }
};

PAGECRIER_TEST_MAIN(TestCompletion)
#include "tst_completion.moc"
