// The favorites commands and the start-up loading through the real main
// window: mouse clicks, Ctrl+S / Ctrl+G, the menu items, the questions
// answered through the message seam, and the settings file on disk.

#include "form1.h"
#include "keys.h"
#include "msgbox.h"
#include "settings_store.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kAsk = QStringLiteral("Are you sure? You haven't entered a URL.");
const QString kAskTitle = QStringLiteral("URL field empty");
const QString kSaved = QStringLiteral("Your favorites have been saved!");
const QString kAbsent = QStringLiteral("<absent>");

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestFavoritesWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<Form1> form_;

    QString configHome() const { return home_->filePath(QStringLiteral("config")); }
    QString settingsFile() const { return SettingsStore::DefaultPath(); }

    template <typename T = QWidget> T *control(const char *name) const
    {
        T *widget = form_->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QLineEdit *field(const char *name) const { return control<QLineEdit>(name); }
    QStringList fields() const
    {
        return {field("url")->text(), field("name1")->text(), field("mail")->text()};
    }
    void fill(const QString &url, const QString &name, const QString &mail)
    {
        field("url")->setText(url);
        field("name1")->setText(name);
        field("mail")->setText(mail);
    }
    void click(const char *button)
    {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }
    // What the store holds, read as the Load command reads it.
    QStringList stored() const
    {
        SettingsStore store;
        return {store.ReadSetting(keys::kApp, keys::kSection, keys::kUrl, kAbsent),
                store.ReadSetting(keys::kApp, keys::kSection, keys::kName, kAbsent),
                store.ReadSetting(keys::kApp, keys::kSection, keys::kMail, kAbsent)};
    }
    void store(const QString &key, const QString &value)
    {
        SettingsStore().WriteSetting(keys::kApp, keys::kSection, key, value);
    }
    // Starts the window afresh, as a new run of the program would.
    void startWindow()
    {
        form_.reset();
        form_ = std::make_unique<Form1>();
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QTRY_VERIFY(control<WebBrowser>("WebBrowser1")->engineStarted());
    }
    void pressCtrl(Qt::Key key)
    {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : form_.get();
        QTest::keyClick(target, key, Qt::ControlModifier);
    }
    static void checkShown(const msgbox::Shown &shown, const QString &text, const QString &title,
                           int style)
    {
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.title, title);
        QCOMPARE(shown.style, style);
    }

private slots:
    void init()
    {
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(home_->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_->filePath(QStringLiteral("data"))));
        msgbox::seam::Enable();
        startWindow();
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);
    }

    void cleanup()
    {
        form_.reset();
        msgbox::seam::Disable();
        home_.reset();
    }

    // ---- Save ----------------------------------------------------------

    void saveWithEmptyAddress_answerNo_writesNothing()
    {
        fill(QString(), QStringLiteral("Ann"), QStringLiteral("ann@example.com"));
        msgbox::seam::QueueAnswer(msgbox::IDNO);
        click("Command11");
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        checkShown(shown[0], kAsk, kAskTitle, msgbox::MB_YESNO);
        // Not even the folder is made.
        QVERIFY(!QFileInfo::exists(QFileInfo(settingsFile()).absolutePath()));
        QCOMPARE(fields(), (QStringList{QString(), QStringLiteral("Ann"),
                                        QStringLiteral("ann@example.com")}));
    }

    void saveWithEmptyAddress_answerNo_keepsEarlierFavorites()
    {
        store(keys::kUrl, QStringLiteral("http://old/"));
        store(keys::kName, QStringLiteral("Old"));
        const QByteArray before = readBytes(settingsFile());
        fill(QString(), QStringLiteral("New"), QString());
        msgbox::seam::QueueAnswer(msgbox::IDNO);
        click("Command11");
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        QCOMPARE(readBytes(settingsFile()), before);
    }

    void saveWithEmptyAddress_answerYes_storesEmptyAddress()
    {
        store(keys::kUrl, QStringLiteral("http://old/"));
        fill(QString(), QStringLiteral("Ann"), QStringLiteral("ann@example.com"));
        msgbox::seam::QueueAnswer(msgbox::IDYES);
        click("Command11");
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 2);
        checkShown(shown[0], kAsk, kAskTitle, msgbox::MB_YESNO);
        checkShown(shown[1], kSaved, QStringLiteral("Pagecrier"),
                   msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        QCOMPARE(stored(), (QStringList{QString(), QStringLiteral("Ann"),
                                        QStringLiteral("ann@example.com")}));
    }

    void saveWithBlankAddress_asksNothing_storesBlanks()
    {
        fill(QStringLiteral("   "), QStringLiteral(" Ann "), QStringLiteral("\t"));
        click("Command11");
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        checkShown(shown[0], kSaved, QStringLiteral("Pagecrier"),
                   msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        QCOMPARE(stored(), (QStringList{QStringLiteral("   "), QStringLiteral(" Ann "),
                                        QStringLiteral("\t")}));
    }

    void saveWithAddressOnly_storesEmptyNameAndMail()
    {
        store(keys::kName, QStringLiteral("Old"));
        store(keys::kMail, QStringLiteral("old@example.com"));
        fill(QStringLiteral("http://example.com/"), QString(), QString());
        click("Command11");
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        QCOMPARE(stored(),
                 (QStringList{QStringLiteral("http://example.com/"), QString(), QString()}));
    }

    void saveTwice_keepsOnlyTheLastFavorites()
    {
        fill(QStringLiteral("http://one/"), QStringLiteral("One"), QStringLiteral("one@x"));
        click("Command11");
        fill(QStringLiteral("http://two/"), QStringLiteral("Two"), QStringLiteral("two@x"));
        click("Command11");
        QCOMPARE(msgbox::seam::TakeShown().size(), 2);
        QCOMPARE(stored(), (QStringList{QStringLiteral("http://two/"), QStringLiteral("Two"),
                                        QStringLiteral("two@x")}));
        QCOMPARE(readBytes(settingsFile()).count("http://"), 1);
    }

    // ---- Clear and Load ------------------------------------------------

    void clearThenLoad_restoresSavedFavorites()
    {
        const QStringList odd = {QStringLiteral("http://example.com/a b?x=1&y=[2];#@%\"'\\"),
                                 QStringLiteral("  Zoë 😀 = [section] ; note  "),
                                 QStringLiteral("me@example.com ")};
        fill(odd[0], odd[1], odd[2]);
        click("Command11");
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        const QByteArray saved = readBytes(settingsFile());

        click("Command9");
        QCOMPARE(fields(), (QStringList{QString(), QString(), QString()}));
        QCOMPARE(readBytes(settingsFile()), saved); // Clear leaves the store alone

        click("Command10");
        QCOMPARE(fields(), odd);
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);
    }

    void loadWithNothingStored_emptiesFields()
    {
        fill(QStringLiteral("http://typed/"), QStringLiteral("Typed"), QStringLiteral("t@x"));
        click("Command10");
        QCOMPARE(fields(), (QStringList{QString(), QString(), QString()}));
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);
        QVERIFY(!QFileInfo::exists(QFileInfo(settingsFile()).absolutePath()));
    }

    void loadWithOneKeyStored_emptiesTheOthers()
    {
        store(keys::kMail, QStringLiteral("only@x"));
        fill(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"));
        click("Command10");
        QCOMPARE(fields(), (QStringList{QString(), QString(), QStringLiteral("only@x")}));
    }

    void load_seesWhatAnotherCopyWroteMeanwhile()
    {
        click("Command10");
        QCOMPARE(fields(), (QStringList{QString(), QString(), QString()}));
        // Another running copy saves (spelling the names its own way).
        SettingsStore().WriteSetting(QStringLiteral("PAGECRIER"), QStringLiteral("FAVS"),
                                     QStringLiteral("URL"), QStringLiteral("http://other/"));
        click("Command10");
        QCOMPARE(field("url")->text(), QStringLiteral("http://other/"));
    }

    // ---- Keys and menu -------------------------------------------------

    void ctrlS_behavesAsSaveButton()
    {
        field("url")->setFocus();
        fill(QString(), QStringLiteral("Ann"), QString());
        msgbox::seam::QueueAnswer(msgbox::IDNO);
        pressCtrl(Qt::Key_S);
        QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        checkShown(shown[0], kAsk, kAskTitle, msgbox::MB_YESNO);
        QVERIFY(!QFileInfo::exists(settingsFile()));

        msgbox::seam::QueueAnswer(msgbox::IDYES);
        pressCtrl(Qt::Key_S);
        shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 2);
        checkShown(shown[1], kSaved, QStringLiteral("Pagecrier"),
                   msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        QCOMPARE(stored(), (QStringList{QString(), QStringLiteral("Ann"), QString()}));

        fill(QStringLiteral("http://x/"), QStringLiteral("B"), QStringLiteral("b@x"));
        pressCtrl(Qt::Key_S);
        shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        checkShown(shown[0], kSaved, QStringLiteral("Pagecrier"),
                   msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        QCOMPARE(stored(), (QStringList{QStringLiteral("http://x/"), QStringLiteral("B"),
                                        QStringLiteral("b@x")}));
        // The text in the focused field is not touched by the key.
        QCOMPARE(field("url")->text(), QStringLiteral("http://x/"));
    }

    void ctrlG_behavesAsLoadButton()
    {
        store(keys::kUrl, QStringLiteral("http://saved/"));
        store(keys::kName, QStringLiteral("Saved"));
        field("name1")->setFocus();
        fill(QStringLiteral("typed"), QStringLiteral("typed"), QStringLiteral("typed"));
        pressCtrl(Qt::Key_G);
        QCOMPARE(fields(), (QStringList{QStringLiteral("http://saved/"), QStringLiteral("Saved"),
                                        QString()}));
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);
    }

    void menuItems_runTheButtonsHandlers()
    {
        QAction *save = form_->findChild<QAction *>(QStringLiteral("mnuFileSave"));
        QAction *get = form_->findChild<QAction *>(QStringLiteral("mnuFileGet"));
        QVERIFY(save && get);
        fill(QString(), QStringLiteral("M"), QStringLiteral("m@x"));
        msgbox::seam::QueueAnswer(msgbox::IDNO);
        save->trigger();
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        QVERIFY(!QFileInfo::exists(settingsFile()));
        fill(QStringLiteral("http://menu/"), QStringLiteral("M"), QStringLiteral("m@x"));
        save->trigger();
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        click("Command9");
        get->trigger();
        QCOMPARE(fields(), (QStringList{QStringLiteral("http://menu/"), QStringLiteral("M"),
                                        QStringLiteral("m@x")}));
    }

    // ---- Start-up ------------------------------------------------------

    void startupOn_savedFavoritesComeBack()
    {
        const QStringList odd = {QStringLiteral(" http://example.com/?q=a=b "),
                                 QStringLiteral("Ünïcödé\\name"), QString()};
        fill(odd[0], odd[1], odd[2]);
        click("Command11");
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        store(keys::kStartup, QStringLiteral("1"));

        startWindow();
        QCOMPARE(fields(), odd);
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);
    }

    void startupNotOne_leavesFieldsEmpty_data()
    {
        QTest::addColumn<QString>("startup");
        QTest::newRow("0") << "0";
        QTest::newRow("2") << "2";
        QTest::newRow("abc") << "abc";
        QTest::newRow("empty") << "";
        QTest::newRow("absent") << QString();
    }

    void startupNotOne_leavesFieldsEmpty()
    {
        QFETCH(QString, startup);
        store(keys::kUrl, QStringLiteral("http://saved/"));
        store(keys::kName, QStringLiteral("Saved"));
        store(keys::kMail, QStringLiteral("saved@x"));
        if (!startup.isNull())
            store(keys::kStartup, startup);

        startWindow();
        QCOMPARE(fields(), (QStringList{QString(), QString(), QString()}));
        // The window starts normally: nothing reported, and it works.
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);
        QVERIFY(form_->isVisible());
        click("Command10");
        QCOMPARE(field("url")->text(), QStringLiteral("http://saved/"));
    }

    void startupOneWithNothingSaved_emptiesFields()
    {
        store(keys::kStartup, QStringLiteral("1.0"));
        startWindow();
        QCOMPARE(fields(), (QStringList{QString(), QString(), QString()}));
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);
    }

    // ---- Failures ------------------------------------------------------

    void unwritableStore_reportedNamingFile_windowAndFieldsKept()
    {
        // A regular file where the settings folder should be.
        QVERIFY(QDir().mkpath(configHome()));
        QFile blocker(QFileInfo(settingsFile()).absolutePath());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        fill(QStringLiteral("http://typed/"), QStringLiteral("Typed"), QStringLiteral("t@x"));
        click("Command11");
        QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1); // the failure report; no "saved" message
        QVERIFY2(shown[0].text.contains(settingsFile()), qPrintable(shown[0].text));
        QVERIFY2(shown[0].text.contains(QString::fromLocal8Bit(strerror(ENOTDIR))),
                 qPrintable(shown[0].text));
        QVERIFY(form_->isVisible());
        QCOMPARE(fields(), (QStringList{QStringLiteral("http://typed/"), QStringLiteral("Typed"),
                                        QStringLiteral("t@x")}));

        click("Command10");
        shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(settingsFile()), qPrintable(shown[0].text));
        QCOMPARE(fields(), (QStringList{QStringLiteral("http://typed/"), QStringLiteral("Typed"),
                                        QStringLiteral("t@x")}));

        // Once the folder is back, the same window saves.
        QVERIFY(QFile::remove(blocker.fileName()));
        click("Command11");
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        QCOMPARE(stored(), (QStringList{QStringLiteral("http://typed/"), QStringLiteral("Typed"),
                                        QStringLiteral("t@x")}));
    }

    void damagedFile_readableUsed_copyKept_userTold()
    {
        QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).absolutePath()));
        const QByteArray damaged("\x01\x02 junk without equals\n"
                                 "[Pagecrier/favs]\n"
                                 "url=http://kept/\n"
                                 "\xff\xfe not text\n"
                                 "startup=1\n"
                                 "name1=Kept\n");
        {
            QFile f(settingsFile());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(damaged);
        }
        // Start-up uses what can be read, and says nothing yet.
        startWindow();
        QCOMPARE(fields(),
                 (QStringList{QStringLiteral("http://kept/"), QStringLiteral("Kept"), QString()}));
        QCOMPARE(msgbox::seam::TakeShown().size(), 0);

        field("mail")->setText(QStringLiteral("new@x"));
        click("Command11");
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 2);
        const QStringList copies =
            QFileInfo(settingsFile())
                .absoluteDir()
                .entryList({QStringLiteral("pagecrier.ini.damaged-*")}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        const QString copy = QFileInfo(settingsFile()).absoluteDir().filePath(copies[0]);
        QCOMPARE(readBytes(copy), damaged);
        QVERIFY2(shown[0].text.contains(copy), qPrintable(shown[0].text));
        QCOMPARE(shown[0].style, msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        checkShown(shown[1], kSaved, QStringLiteral("Pagecrier"),
                   msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        QVERIFY(form_->isVisible());
        QCOMPARE(fields(), (QStringList{QStringLiteral("http://kept/"), QStringLiteral("Kept"),
                                        QStringLiteral("new@x")}));
        QCOMPARE(stored(), fields());
    }
};

int main(int argc, char *argv[])
{
    // Nothing may reach the real user's files, not even before the first test.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("data"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("cache"))));
    PrepareWebEngine(); // the web engine's sandbox cannot run as root
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagecrier"));
    TestFavoritesWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_favorites_window.moc"
