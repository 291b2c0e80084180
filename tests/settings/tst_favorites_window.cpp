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

using namespace Qt::StringLiterals;

namespace {

const QStringList kEmpty = {QString(), QString(), QString()};

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

    QString configHome() const { return home_->filePath(u"config"_s); }
    QString settingsFile() const { return SettingsStore::DefaultPath(); }
    QString settingsFolder() const { return QFileInfo(settingsFile()).absolutePath(); }

    template <typename T = QWidget> T *control(const char *name) const
    {
        T *widget = form_->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    QLineEdit *field(const char *name) const { return control<QLineEdit>(name); }
    // Address, name and mail, as the fields show them.
    QStringList fields() const
    {
        return {field("url")->text(), field("name1")->text(), field("mail")->text()};
    }
    void fill(const QStringList &values)
    {
        field("url")->setText(values.at(0));
        field("name1")->setText(values.at(1));
        field("mail")->setText(values.at(2));
    }
    void click(const char *button)
    {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
    }
    // What the store holds, read as the Load command reads it.
    QStringList stored() const
    {
        const SettingsStore store;
        const QString absent = u"<absent>"_s;
        return {store.ReadSetting(keys::kApp, keys::kSection, keys::kUrl, absent),
                store.ReadSetting(keys::kApp, keys::kSection, keys::kName, absent),
                store.ReadSetting(keys::kApp, keys::kSection, keys::kMail, absent)};
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

    // Asked: the question Save asks when the address is empty.
    enum Box
    {
        Asked,
        Saved
    };
    static void checkBox(const msgbox::Shown &shown, Box box)
    {
        const bool asked = box == Asked;
        QCOMPARE(shown.text, asked ? u"Are you sure? You haven't entered a URL."_s
                                   : u"Your favorites have been saved!"_s);
        QCOMPARE(shown.title, asked ? u"URL field empty"_s : u"Pagecrier"_s);
        QCOMPARE(shown.style,
                 asked ? int(msgbox::MB_YESNO) : msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
    }
    // The messages shown since the last look must be these, in this order.
    static void expectShown(const QList<Box> &boxes)
    {
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), boxes.size());
        for (qsizetype i = 0; i < shown.size() && !QTest::currentTestFailed(); ++i)
            checkBox(shown[i], boxes[i]);
    }

private slots:
    void init()
    {
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(home_->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_->filePath(u"data"_s)));
        msgbox::seam::Enable();
        startWindow();
        expectShown({});
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
        fill({QString(), u"Ann"_s, u"ann@example.com"_s});
        msgbox::seam::QueueAnswer(msgbox::IDNO);
        click("Command11");
        expectShown({Asked});
        QVERIFY(!QFileInfo::exists(settingsFolder())); // not even the folder is made
        QCOMPARE(fields(), (QStringList{QString(), u"Ann"_s, u"ann@example.com"_s}));
    }

    void saveWithEmptyAddress_answerNo_keepsEarlierFavorites()
    {
        store(keys::kUrl, u"http://old/"_s);
        store(keys::kName, u"Old"_s);
        const QByteArray before = readBytes(settingsFile());
        fill({QString(), u"New"_s, QString()});
        msgbox::seam::QueueAnswer(msgbox::IDNO);
        click("Command11");
        expectShown({Asked});
        QCOMPARE(readBytes(settingsFile()), before);
    }

    void saveWithEmptyAddress_answerYes_storesEmptyAddress()
    {
        store(keys::kUrl, u"http://old/"_s);
        fill({QString(), u"Ann"_s, u"ann@example.com"_s});
        msgbox::seam::QueueAnswer(msgbox::IDYES);
        click("Command11");
        expectShown({Asked, Saved});
        QCOMPARE(stored(), (QStringList{QString(), u"Ann"_s, u"ann@example.com"_s}));
    }

    void saveWithBlankAddress_asksNothing_storesBlanks()
    {
        fill({u"   "_s, u" Ann "_s, u"\t"_s});
        click("Command11");
        expectShown({Saved});
        QCOMPARE(stored(), (QStringList{u"   "_s, u" Ann "_s, u"\t"_s}));
    }

    void saveWithAddressOnly_storesEmptyNameAndMail()
    {
        store(keys::kName, u"Old"_s);
        store(keys::kMail, u"old@example.com"_s);
        fill({u"http://example.com/"_s, QString(), QString()});
        click("Command11");
        expectShown({Saved});
        QCOMPARE(stored(), (QStringList{u"http://example.com/"_s, QString(), QString()}));
    }

    void saveTwice_keepsOnlyTheLastFavorites()
    {
        fill({u"http://one/"_s, u"One"_s, u"one@x"_s});
        click("Command11");
        fill({u"http://two/"_s, u"Two"_s, u"two@x"_s});
        click("Command11");
        expectShown({Saved, Saved});
        QCOMPARE(stored(), (QStringList{u"http://two/"_s, u"Two"_s, u"two@x"_s}));
        QCOMPARE(readBytes(settingsFile()).count("http://"), 1);
    }

    // ---- Clear and Load ------------------------------------------------

    void clearThenLoad_restoresSavedFavorites()
    {
        const QStringList odd = {u"http://example.com/a b?x=1&y=[2];#@%\"'\\"_s,
                                 u"  Zoë 😀 = [section] ; note  "_s, u"me@example.com "_s};
        fill(odd);
        click("Command11");
        expectShown({Saved});
        const QByteArray saved = readBytes(settingsFile());

        click("Command9");
        QCOMPARE(fields(), kEmpty);
        QCOMPARE(readBytes(settingsFile()), saved); // Clear leaves the store alone

        click("Command10");
        QCOMPARE(fields(), odd);
        expectShown({});
    }

    void loadWithNothingStored_emptiesFields()
    {
        fill({u"http://typed/"_s, u"Typed"_s, u"t@x"_s});
        click("Command10");
        QCOMPARE(fields(), kEmpty);
        expectShown({});
        QVERIFY(!QFileInfo::exists(settingsFolder()));
    }

    void loadWithOneKeyStored_emptiesTheOthers()
    {
        store(keys::kMail, u"only@x"_s);
        fill({u"a"_s, u"b"_s, u"c"_s});
        click("Command10");
        QCOMPARE(fields(), (QStringList{QString(), QString(), u"only@x"_s}));
    }

    void load_seesWhatAnotherCopyWroteMeanwhile()
    {
        click("Command10");
        QCOMPARE(fields(), kEmpty);
        // Another running copy saves (spelling the names its own way).
        SettingsStore().WriteSetting(u"PAGECRIER"_s, u"FAVS"_s, u"URL"_s, u"http://other/"_s);
        click("Command10");
        QCOMPARE(field("url")->text(), u"http://other/"_s);
    }

    // ---- Keys and menu -------------------------------------------------

    void ctrlS_behavesAsSaveButton()
    {
        field("url")->setFocus();
        fill({QString(), u"Ann"_s, QString()});
        msgbox::seam::QueueAnswer(msgbox::IDNO);
        pressCtrl(Qt::Key_S);
        expectShown({Asked});
        QVERIFY(!QFileInfo::exists(settingsFile()));

        msgbox::seam::QueueAnswer(msgbox::IDYES);
        pressCtrl(Qt::Key_S);
        expectShown({Asked, Saved});
        QCOMPARE(stored(), (QStringList{QString(), u"Ann"_s, QString()}));

        fill({u"http://x/"_s, u"B"_s, u"b@x"_s});
        pressCtrl(Qt::Key_S);
        expectShown({Saved});
        QCOMPARE(stored(), (QStringList{u"http://x/"_s, u"B"_s, u"b@x"_s}));
        // The text in the focused field is not touched by the key.
        QCOMPARE(field("url")->text(), u"http://x/"_s);
    }

    void ctrlG_behavesAsLoadButton()
    {
        store(keys::kUrl, u"http://saved/"_s);
        store(keys::kName, u"Saved"_s);
        field("name1")->setFocus();
        fill({u"typed"_s, u"typed"_s, u"typed"_s});
        pressCtrl(Qt::Key_G);
        QCOMPARE(fields(), (QStringList{u"http://saved/"_s, u"Saved"_s, QString()}));
        expectShown({});
    }

    void menuItems_runTheButtonsHandlers()
    {
        QAction *save = form_->findChild<QAction *>(u"mnuFileSave"_s);
        QAction *get = form_->findChild<QAction *>(u"mnuFileGet"_s);
        QVERIFY(save && get);
        fill({QString(), u"M"_s, u"m@x"_s});
        msgbox::seam::QueueAnswer(msgbox::IDNO);
        save->trigger();
        expectShown({Asked});
        QVERIFY(!QFileInfo::exists(settingsFile()));
        fill({u"http://menu/"_s, u"M"_s, u"m@x"_s});
        save->trigger();
        expectShown({Saved});
        click("Command9");
        get->trigger();
        QCOMPARE(fields(), (QStringList{u"http://menu/"_s, u"M"_s, u"m@x"_s}));
    }

    // ---- Start-up ------------------------------------------------------

    void startupOn_savedFavoritesComeBack()
    {
        const QStringList odd = {u" http://example.com/?q=a=b "_s, u"Ünïcödé\\name"_s, QString()};
        fill(odd);
        click("Command11");
        expectShown({Saved});
        store(keys::kStartup, u"1"_s);

        startWindow();
        QCOMPARE(fields(), odd);
        expectShown({});
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
        store(keys::kUrl, u"http://saved/"_s);
        store(keys::kName, u"Saved"_s);
        store(keys::kMail, u"saved@x"_s);
        if (!startup.isNull())
            store(keys::kStartup, startup);

        startWindow();
        QCOMPARE(fields(), kEmpty);
        // The window starts normally: nothing reported, and it works.
        expectShown({});
        QVERIFY(form_->isVisible());
        click("Command10");
        QCOMPARE(field("url")->text(), u"http://saved/"_s);
    }

    void startupOneWithNothingSaved_emptiesFields()
    {
        store(keys::kStartup, u"1.0"_s);
        startWindow();
        QCOMPARE(fields(), kEmpty);
        expectShown({});
    }

    // ---- Failures ------------------------------------------------------

    void unwritableStore_reportedNamingFile_windowAndFieldsKept()
    {
        // A regular file where the settings folder should be.
        QVERIFY(QDir().mkpath(configHome()));
        QFile blocker(settingsFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        const QStringList typed = {u"http://typed/"_s, u"Typed"_s, u"t@x"_s};
        fill(typed);
        click("Command11");
        QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1); // the failure report; no "saved" message
        const QString cause = QString::fromLocal8Bit(strerror(ENOTDIR));
        QVERIFY2(shown[0].text.contains(settingsFile()) && shown[0].text.contains(cause),
                 qPrintable(shown[0].text));
        QVERIFY(form_->isVisible());
        QCOMPARE(fields(), typed);

        click("Command10");
        shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(settingsFile()), qPrintable(shown[0].text));
        QCOMPARE(fields(), typed);

        // Once the folder is back, the same window saves.
        QVERIFY(QFile::remove(blocker.fileName()));
        click("Command11");
        expectShown({Saved});
        QCOMPARE(stored(), typed);
    }

    void damagedFile_readableUsed_copyKept_userTold()
    {
        QVERIFY(QDir().mkpath(settingsFolder()));
        const QByteArray damaged("\x01\x02 junk without equals\n"
                                 "[Pagecrier/favs]\n"
                                 "url=http://kept/\n"
                                 "\xff\xfe not text\n"
                                 "startup=1\n"
                                 "name1=Kept\n");
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
        file.close();
        // Start-up uses what can be read, and says nothing yet.
        startWindow();
        QCOMPARE(fields(), (QStringList{u"http://kept/"_s, u"Kept"_s, QString()}));
        expectShown({});

        field("mail")->setText(u"new@x"_s);
        click("Command11");
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 2);
        const QDir folder(settingsFolder());
        const QStringList copies = folder.entryList({u"pagecrier.ini.damaged-*"_s}, QDir::Files);
        QCOMPARE(copies.size(), 1);
        const QString copy = folder.filePath(copies[0]);
        QCOMPARE(readBytes(copy), damaged);
        QVERIFY2(shown[0].text.contains(copy), qPrintable(shown[0].text));
        QCOMPARE(shown[0].style, msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        checkBox(shown[1], Saved);
        QVERIFY(form_->isVisible());
        QCOMPARE(fields(), (QStringList{u"http://kept/"_s, u"Kept"_s, u"new@x"_s}));
        QCOMPARE(stored(), fields());
    }
};

int main(int argc, char *argv[])
{
    // Nothing may reach the real user's files, not even before the first test.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(u"config"_s)));
    qputenv("XDG_DATA_HOME", QFile::encodeName(scratch.filePath(u"data"_s)));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(scratch.filePath(u"cache"_s)));
    PrepareWebEngine(); // the web engine's sandbox cannot run as root
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Pagecrier"_s);
    TestFavoritesWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_favorites_window.moc"
