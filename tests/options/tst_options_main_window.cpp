// The two options and the address completion as the running main window has
// them: settings and lists in temporary folders, engine requests answered by
// a local server.
#include "autocomplete.h"
#include "completer_rows.h"
#include "engines.h"
#include "form1.h"
#include "form2.h"
#include "gui_test_main.h"
#include "keys.h"
#include "local_server.h"
#include "msgbox.h"
#include "settings_store.h"
#include "sstab.h"
#include "webbrowser.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QCompleter>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

namespace {

void Store(const QString &key, const QString &value)
{
    SettingsStore().WriteSetting(keys::kApp, keys::kSection, key, value);
}

} // namespace

class OptionsInMainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void firstRun_completionOnTheAddressFieldOnly();
    void autoNotOne_noCompletion_data();
    void autoNotOne_noCompletion();
    void sentAndVisitedAddresses_offeredAndRememberedAcrossRestart();
    void folderPaths_offeredInTheAddressField();
    void toolsOptions_opensOneDialogWithTheStoredOptions();
    void options_changeNothingUntilTheNextStart();
    void options_turningCompletionOn_addsNoneUntilTheNextStart();

private:
    void Start();
    void Restart();
    QLineEdit *Field(const char *name) const;
    void TypeInto(QLineEdit *field, const QString &text);
    void PressEngineButton(const char *control);

    QTemporaryDir *home_ = nullptr;
    LocalServer *server_ = nullptr;
    Form1 *form_ = nullptr;
};

void OptionsInMainWindowTest::init()
{
    home_ = new QTemporaryDir;
    QVERIFY(home_->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_->filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home_->filePath(QStringLiteral("data"))));
    msgbox::seam::Enable();
    server_ = new LocalServer;
}

void OptionsInMainWindowTest::cleanup()
{
    delete Form2::Instance();
    delete form_;
    form_ = nullptr;
    delete server_;
    server_ = nullptr;
    QVERIFY2(msgbox::seam::ShownSoFar().isEmpty(),
             qPrintable(msgbox::seam::ShownSoFar().value(0).text));
    msgbox::seam::Disable();
    delete home_;
    home_ = nullptr;
}

void OptionsInMainWindowTest::Start()
{
    form_ = new Form1;
    form_->setHosts(HostTable::AllAt(server_->host()));
    form_->show();
    QVERIFY(QTest::qWaitForWindowActive(form_));
    WebBrowser *pane = form_->findChild<WebBrowser *>(QStringLiteral("WebBrowser1"));
    QVERIFY(pane);
    QTRY_VERIFY(pane->engineStarted());
    QTRY_COMPARE(pane->view()->url(), QUrl(QStringLiteral("about:blank")));
}

// Ends the window and starts a new one, as a new run of the program would:
// the completion keeps nothing in memory past its field.
void OptionsInMainWindowTest::Restart()
{
    delete form_;
    form_ = nullptr;
    autocomplete::seam::ForgetState();
    Start();
}

QLineEdit *OptionsInMainWindowTest::Field(const char *name) const
{
    return form_->findChild<QLineEdit *>(QLatin1String(name));
}

void OptionsInMainWindowTest::TypeInto(QLineEdit *field, const QString &text)
{
    SSTab *tabs = form_->findChild<SSTab *>(QStringLiteral("SSTab1"));
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(0).center());
    QVERIFY(field->isVisible());
    field->setFocus();
    QVERIFY(field->hasFocus());
    QTest::keyClicks(field, text);
}

void OptionsInMainWindowTest::PressEngineButton(const char *control)
{
    SSTab *tabs = form_->findChild<SSTab *>(QStringLiteral("SSTab1"));
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(1).center());
    QPushButton *button = form_->findChild<QPushButton *>(QLatin1String(control));
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

void OptionsInMainWindowTest::firstRun_completionOnTheAddressFieldOnly()
{
    Start();
    QVERIFY(autocomplete::HasAutoComplete(Field("url")));
    QCOMPARE(Field("name1")->completer(), nullptr);
    QCOMPARE(Field("mail")->completer(), nullptr);
    // Typing into the other fields offers nothing, whatever is remembered.
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("http://remembered.example/")));
    for (const char *name : {"name1", "mail"}) {
        TypeInto(Field(name), QStringLiteral("http://rem"));
        QCOMPARE(Field(name)->completer(), nullptr);
    }
    TypeInto(Field("url"), QStringLiteral("http://rem"));
    QTRY_VERIFY(Field("url")->completer()->popup()->isVisible());
}

void OptionsInMainWindowTest::autoNotOne_noCompletion_data()
{
    QTest::addColumn<QString>("stored");
    QTest::newRow("0") << QStringLiteral("0");
    QTest::newRow("2") << QStringLiteral("2");
    QTest::newRow("1.5") << QStringLiteral("1.5");
}

void OptionsInMainWindowTest::autoNotOne_noCompletion()
{
    QFETCH(QString, stored);
    Store(keys::kAuto, stored);
    Start();
    for (const char *name : {"url", "name1", "mail"})
        QCOMPARE(Field(name)->completer(), nullptr);
    // Nothing is remembered either: the program keeps no lists then.
    Field("url")->setText(QStringLiteral("http://mysite.example/"));
    PressEngineButton("Command1");
    QTRY_COMPARE(server_->requests().size(), 1);
    QVERIFY(!QDir(home_->filePath(QStringLiteral("data/pagecrier"))).exists());
}

void OptionsInMainWindowTest::sentAndVisitedAddresses_offeredAndRememberedAcrossRestart()
{
    Start();
    Field("url")->setText(QStringLiteral("http://mysite.example/index.html"));
    Field("mail")->setText(QStringLiteral("me@mysite.example"));
    PressEngineButton("Command1");
    QTRY_COMPARE(server_->requests().size(), 1);
    WebBrowser *pane = form_->findChild<WebBrowser *>(QStringLiteral("WebBrowser1"));
    QTRY_VERIFY(pane->view()->url().toString().startsWith(server_->url(QStringLiteral("/"))));
    const QString visited = pane->view()->url().toString();

    // The engine's answer page the pane arrived at is offered.
    Field("url")->clear();
    TypeInto(Field("url"), QStringLiteral("HTTP://127.0.0.1:"));
    QCompleter *completer = Field("url")->completer();
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(Shown(completer), QStringList{visited});

    // A new run offers both: the address typed and sent, and the page visited.
    Restart();
    TypeInto(Field("url"), QStringLiteral("http://"));
    completer = Field("url")->completer();
    QTRY_VERIFY(completer->popup()->isVisible());
    QCOMPARE(Shown(completer),
             QStringList({QStringLiteral("http://mysite.example/index.html"), visited}));

    // Choosing one puts it into the field, and the buttons send it as typed.
    QTest::keyClick(completer->popup(), Qt::Key_Down);
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    QCOMPARE(Field("url")->text(), QStringLiteral("http://mysite.example/index.html"));
    server_->clear();
    PressEngineButton("Command1");
    QTRY_COMPARE(server_->requests().size(), 1);
    QVERIFY2(server_->requests().first().contains(QStringLiteral("mysite.example")),
             qPrintable(server_->requests().first()));
}

void OptionsInMainWindowTest::folderPaths_offeredInTheAddressField()
{
    QTemporaryDir folder;
    for (const char *name : {"site.html", "Site-old.html", "other.html"}) {
        QFile file(folder.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    Start();
    TypeInto(Field("url"), QStringLiteral("file://") + folder.path() + QStringLiteral("/si"));
    QCompleter *completer = Field("url")->completer();
    QTRY_VERIFY(completer->popup()->isVisible());
    // By name, letter case ignored: "-" comes before ".".
    const QString shown = QStringLiteral("file://") + folder.path();
    QCOMPARE(Shown(completer), QStringList({shown + QStringLiteral("/Site-old.html"),
                                            shown + QStringLiteral("/site.html")}));
}

void OptionsInMainWindowTest::toolsOptions_opensOneDialogWithTheStoredOptions()
{
    Store(keys::kStartup, QStringLiteral("1"));
    Store(keys::kAuto, QStringLiteral("2"));
    Start();
    QAction *menu = form_->findChild<QAction *>(QStringLiteral("mnuToolsOPtions"));
    QVERIFY(menu);
    menu->trigger();
    Form2 *dialog = Form2::Instance();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QCOMPARE(dialog->parentWidget(), nullptr);
    QCOMPARE(dialog->Check1->checkState(), Qt::Checked);
    QCOMPARE(dialog->Check2->checkState(), Qt::PartiallyChecked);
    // "2" is off at start-up.
    QCOMPARE(Field("url")->completer(), nullptr);

    // The main window stays usable beside it, and a second Tools, Options
    // brings the same dialog forward, boxes as the user left them.
    QTest::mouseClick(dialog->Check1, Qt::LeftButton, {}, QPoint(6, dialog->Check1->height() / 2));
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_));
    TypeInto(Field("name1"), QStringLiteral("Ann"));
    QCOMPARE(Field("name1")->text(), QStringLiteral("Ann"));
    menu->trigger();
    QCOMPARE(Form2::Instance(), dialog);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QCOMPARE(dialog->Check1->checkState(), Qt::Unchecked);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](QWidget *w) { return qobject_cast<Form2 *>(w) != nullptr; }),
             1);
}

void OptionsInMainWindowTest::options_changeNothingUntilTheNextStart()
{
    Store(keys::kUrl, QStringLiteral("http://favourite.example/"));
    Store(keys::kName, QStringLiteral("Fav Name"));
    Store(keys::kMail, QStringLiteral("fav@example.com"));
    Start();
    QVERIFY(Field("url")->text().isEmpty());
    QVERIFY(autocomplete::HasAutoComplete(Field("url")));
    autocomplete::NoteAddressVisited(QUrl(QStringLiteral("http://still.example/")));

    form_->mnuToolsOPtions_Click();
    Form2 *dialog = Form2::Instance();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QCOMPARE(dialog->Check1->checkState(), Qt::Unchecked);
    QCOMPARE(dialog->Check2->checkState(), Qt::Checked);
    QTest::mouseClick(dialog->Check1, Qt::LeftButton, {}, QPoint(6, dialog->Check1->height() / 2));
    QTest::mouseClick(dialog->Check2, Qt::LeftButton, {}, QPoint(6, dialog->Check2->height() / 2));
    QTest::mouseClick(dialog->Command3, Qt::LeftButton);
    QCOMPARE(Form2::Instance(), nullptr);

    // This run: no favourites loaded, completion still working.
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_));
    for (const char *name : {"url", "name1", "mail"})
        QVERIFY(Field(name)->text().isEmpty());
    QVERIFY(autocomplete::HasAutoComplete(Field("url")));
    TypeInto(Field("url"), QStringLiteral("http://st"));
    QTRY_VERIFY(Field("url")->completer()->popup()->isVisible());
    QCOMPARE(Shown(Field("url")->completer()),
             QStringList{QStringLiteral("http://still.example/")});

    // The next run: favourites loaded, no completion.
    Restart();
    QCOMPARE(Field("url")->text(), QStringLiteral("http://favourite.example/"));
    QCOMPARE(Field("name1")->text(), QStringLiteral("Fav Name"));
    QCOMPARE(Field("mail")->text(), QStringLiteral("fav@example.com"));
    QCOMPARE(Field("url")->completer(), nullptr);
}

void OptionsInMainWindowTest::options_turningCompletionOn_addsNoneUntilTheNextStart()
{
    Store(keys::kAuto, QStringLiteral("0"));
    Start();
    Form2 *dialog = Form2::Open(form_);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    QCOMPARE(dialog->Check2->checkState(), Qt::Unchecked);
    QTest::mouseClick(dialog->Check2, Qt::LeftButton, {}, QPoint(6, dialog->Check2->height() / 2));
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);
    QCOMPARE(Field("url")->completer(), nullptr);

    Restart();
    QVERIFY(autocomplete::HasAutoComplete(Field("url")));
    QCOMPARE(Field("name1")->completer(), nullptr);
    QCOMPARE(Field("mail")->completer(), nullptr);
}

PAGECRIER_GUI_TEST_MAIN(OptionsInMainWindowTest)
#include "tst_options_main_window.moc"
