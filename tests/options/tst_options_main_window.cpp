// The two options and the address completion as the running main window has
// them: settings and lists in temporary folders, engine requests answered by
// a local server.
#include "autocomplete.h"
#include "engines.h"
#include "form1.h"
#include "form2.h"
#include "gui_test_main.h"
#include "local_server.h"
#include "msgbox.h"
#include "options_helpers.h"
#include "sstab.h"
#include "webbrowser.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCompleter>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

class OptionsInMainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        home_.emplace();
        QVERIFY(home_->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_->filePath(u"config"_s)));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_->filePath(u"data"_s)));
        msgbox::seam::Enable();
        server_.emplace();
    }

    void cleanup()
    {
        delete Form2::Instance();
        form_.reset();
        server_.reset();
        QVERIFY2(msgbox::seam::ShownSoFar().isEmpty(),
                 qPrintable(msgbox::seam::ShownSoFar().value(0).text));
        msgbox::seam::Disable();
        home_.reset();
    }

    void firstRun_completionOnTheAddressFieldOnly()
    {
        Start();
        QCOMPARE(Completing(), QStringList{"url"});
        // Typing into the other fields offers nothing, whatever is remembered.
        autocomplete::NoteAddressVisited(QUrl(u"http://remembered.example/"_s));
        for (const char *name : {"name1", "mail"})
            TypeInto(Field(name), u"http://rem"_s);
        QCOMPARE(Completing(), QStringList{"url"});
        QCOMPARE(UrlOffers(u"http://rem"_s), QStringList{"http://remembered.example/"});
    }

    void autoNotOne_noCompletion_data()
    {
        QTest::addColumn<QString>("stored");
        for (const char *stored : {"0", "2", "1.5"})
            QTest::newRow(stored) << QString::fromLatin1(stored);
    }

    void autoNotOne_noCompletion()
    {
        QFETCH(QString, stored);
        Store(keys::kAuto, stored);
        Start();
        QCOMPARE(Completing(), QStringList());
        // Nothing is remembered either: the program keeps no lists then.
        Field("url")->setText(u"http://mysite.example/"_s);
        PressEngineButton("Command1");
        QTRY_COMPARE(server_->requests().size(), 1);
        QVERIFY(!QDir(home_->filePath(u"data/pagecrier"_s)).exists());
    }

    void sentAndVisitedAddresses_offeredAndRememberedAcrossRestart()
    {
        Start();
        Field("url")->setText(u"http://mysite.example/index.html"_s);
        Field("mail")->setText(u"me@mysite.example"_s);
        PressEngineButton("Command1");
        QTRY_COMPARE(server_->requests().size(), 1);
        WebBrowser *pane = form_->findChild<WebBrowser *>(u"WebBrowser1"_s);
        QTRY_VERIFY(pane->view()->url().toString().startsWith(server_->url(u"/"_s)));
        const QString visited = pane->view()->url().toString();

        // The engine's answer page the pane arrived at is offered.
        Field("url")->clear();
        QCOMPARE(UrlOffers(u"HTTP://127.0.0.1:"_s), QStringList{visited});

        // A new run offers both: the address typed and sent, and the page visited.
        Restart();
        TypeInto(Field("url"), u"http://"_s);
        QCOMPARE(Offered(Field("url")),
                 QStringList({u"http://mysite.example/index.html"_s, visited}));

        // Choosing one puts it into the field, and the buttons send it as typed.
        QAbstractItemView *popup = Field("url")->completer()->popup();
        QTest::keyClick(popup, Qt::Key_Down);
        QTest::keyClick(popup, Qt::Key_Return);
        QCOMPARE(Field("url")->text(), u"http://mysite.example/index.html"_s);
        server_->clear();
        PressEngineButton("Command1");
        QTRY_COMPARE(server_->requests().size(), 1);
        QVERIFY2(server_->requests().first().contains(u"mysite.example"_s),
                 qPrintable(server_->requests().first()));
    }

    void folderPaths_offeredInTheAddressField()
    {
        QTemporaryDir folder;
        Make(folder.path(), {"site.html", "Site-old.html", "other.html"});
        Start();
        const QString typedFolder = u"file://"_s + folder.path();
        TypeInto(Field("url"), typedFolder + u"/si"_s);
        // By name, letter case ignored: "-" comes before ".".
        QCOMPARE(Offered(Field("url")), Under(typedFolder, {"Site-old.html", "site.html"}));
    }

    void toolsOptions_opensOneDialogWithTheStoredOptions()
    {
        StoreOptions(u"1"_s, u"2"_s);
        Start();
        Form2 *dialog = OpenOptions();
        QVERIFY(dialog);
        QCOMPARE(dialog->parentWidget(), nullptr);
        QCOMPARE(Boxes(dialog), BoxStates(Qt::Checked, Qt::PartiallyChecked));
        // "2" is off at start-up.
        QCOMPARE(Completing(), QStringList());

        // The main window stays usable beside it, and a second Tools, Options
        // brings the same dialog forward, boxes as the user left them.
        ClickBox(dialog->Check1);
        Activate(form_.get());
        TypeInto(Field("name1"), u"Ann"_s);
        QCOMPARE(Field("name1")->text(), u"Ann"_s);
        QCOMPARE(OpenOptions(), dialog);
        QCOMPARE(dialog->Check1->checkState(), Qt::Unchecked);
        QCOMPARE(OptionsWindows(), 1);
    }

    void options_changeNothingUntilTheNextStart()
    {
        const QStringList favourites = {"http://favourite.example/", "Fav Name", "fav@example.com"};
        Store(keys::kUrl, favourites[0]);
        Store(keys::kName, favourites[1]);
        Store(keys::kMail, favourites[2]);
        Start();
        QCOMPARE(Texts(), QStringList({"", "", ""}));
        QCOMPARE(Completing(), QStringList{"url"});
        autocomplete::NoteAddressVisited(QUrl(u"http://still.example/"_s));

        Form2 *dialog = OpenOptions();
        QCOMPARE(Boxes(dialog), BoxStates(Qt::Unchecked, Qt::Checked));
        ClickBox(dialog->Check1);
        ClickBox(dialog->Check2);
        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        QCOMPARE(Form2::Instance(), nullptr);

        // This run: no favourites loaded, completion still working.
        Activate(form_.get());
        QCOMPARE(Texts(), QStringList({"", "", ""}));
        QCOMPARE(Completing(), QStringList{"url"});
        QCOMPARE(UrlOffers(u"http://st"_s), QStringList{"http://still.example/"});

        // The next run: favourites loaded, no completion.
        Restart();
        QCOMPARE(Texts(), favourites);
        QCOMPARE(Completing(), QStringList());
    }

    void options_turningCompletionOn_addsNoneUntilTheNextStart()
    {
        Store(keys::kAuto, u"0"_s);
        Start();
        Form2 *dialog = OpenOptions();
        QCOMPARE(Boxes(dialog), BoxStates(Qt::Unchecked, Qt::Unchecked));
        ClickBox(dialog->Check2);
        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QTest::mouseClick(dialog->Command2, Qt::LeftButton);
        QCOMPARE(Completing(), QStringList());

        Restart();
        QCOMPARE(Completing(), QStringList{"url"});
    }

private:
    void Start()
    {
        form_ = std::make_unique<Form1>();
        form_->setHosts(HostTable::AllAt(server_->host()));
        Activate(form_.get());
        WebBrowser *pane = form_->findChild<WebBrowser *>(u"WebBrowser1"_s);
        QVERIFY(pane);
        QTRY_VERIFY(pane->engineStarted());
        QTRY_COMPARE(pane->view()->url(), QUrl(u"about:blank"_s));
    }

    // A new run of the program: the completion keeps nothing in memory past its
    // field.
    void Restart()
    {
        form_.reset();
        autocomplete::seam::ForgetState();
        Start();
    }

    QLineEdit *Field(const char *name) const
    {
        return form_->findChild<QLineEdit *>(QLatin1String(name));
    }

    // The fields that have a completer, "?" added to one that is not the
    // address completion.
    QStringList Completing() const
    {
        QStringList names;
        for (const char *name : {"url", "name1", "mail"}) {
            if (QLineEdit *field = Field(name); field->completer())
                names.append(QLatin1String(name) +
                             (autocomplete::HasAutoComplete(field) ? "" : "?"));
        }
        return names;
    }

    void ShowTab(int index)
    {
        QTabBar *bar = form_->findChild<SSTab *>(u"SSTab1"_s)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    void TypeInto(QLineEdit *field, const QString &text)
    {
        ShowTab(0);
        QVERIFY(field->isVisible());
        field->setFocus();
        QVERIFY(field->hasFocus());
        QTest::keyClicks(field, text);
    }

    // What the address field offers once text is typed into it.
    QStringList UrlOffers(const QString &text)
    {
        TypeInto(Field("url"), text);
        return Offered(Field("url"));
    }

    QStringList Texts() const
    {
        return {Field("url")->text(), Field("name1")->text(), Field("mail")->text()};
    }

    void PressEngineButton(const char *control)
    {
        ShowTab(1);
        QPushButton *button = form_->findChild<QPushButton *>(QLatin1String(control));
        QVERIFY(button && button->isVisible());
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // Tools, Options.
    Form2 *OpenOptions()
    {
        if (QAction *menu = form_->findChild<QAction *>(u"mnuToolsOPtions"_s))
            menu->trigger();
        return WhenActive(Form2::Instance());
    }

    std::optional<QTemporaryDir> home_;
    std::optional<LocalServer> server_;
    std::unique_ptr<Form1> form_;
};

PAGECRIER_GUI_TEST_MAIN(OptionsInMainWindowTest)
#include "tst_options_main_window.moc"
