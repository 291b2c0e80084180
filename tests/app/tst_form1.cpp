// The main window and its dialogs driven as a user would: mouse, keys,
// access letters and menus, with the settings in the scratch folder and the
// engines' and IndexNow's requests arriving at a local server. The browser
// pane keeps its pages confined. Every control that can take the focus has a
// name to speak, Tab reaches every control, and at the designed size and
// larger no control overlaps another, sticks out of its container or cuts its
// caption (that layout check runs again at twice the scale). One run of the
// program, started from outside with a scratch HOME, sends an engine press
// made as the window shows and leaves nothing of the pane in HOME.
#include "autocomplete.h"
#include "failure.h"
#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "indexnow_key.h"
#include "keys.h"
#include "local_server.h"
#include "settings_store.h"
#include "test_support.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QtWebEngineWidgets>
#include <QtWidgets>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kAsked = u"Are you sure? You haven't entered a URL."_s;
const QString kSaved = u"Your favorites have been saved!"_s;
// A label reaches a little under its field; the load progress line lies
// along the foot of the page.
const QStringList kDesignedOverlaps = {u"Label2 url"_s, u"Label5 name1"_s,
                                       u"WebBrowser1Progress WebBrowser1View"_s};

// The widget's place for a failure message: "Frame1/url".
QString Describe(const QWidget *w)
{
    const QString name = w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName();
    return w->isWindow() ? name : Describe(w->parentWidget()) + '/' + name;
}

// Presses Tab until the focus has gone once round the window; lists the
// shown controls that can take the focus and were never reached (the pane
// is reached through its page; a label only counts when it asks for Tab).
QStringList UnreachedByTab(QWidget *window)
{
    QList<QWidget *> visited;
    if (!QApplication::focusWidget() || QApplication::focusWidget()->window() != window)
        window->nextInFocusChain()->setFocus(Qt::TabFocusReason);
    for (QWidget *focused; (focused = QApplication::focusWidget()) && !visited.contains(focused);) {
        visited << focused;
        QTest::keyClick(focused, Qt::Key_Tab);
        (void)QTest::qWaitFor([focused] { return QApplication::focusWidget() != focused; }, 2000);
    }
    QStringList missed;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() == window && w->isVisible() && w->focusPolicy() != Qt::NoFocus &&
            !w->focusProxy() &&
            !(qobject_cast<QLabel *>(w) && !(w->focusPolicy() & Qt::TabFocus)) &&
            std::none_of(visited.cbegin(), visited.cend(),
                         [w](QWidget *v) { return v == w || w->isAncestorOf(v); }))
            missed << Describe(w) + " is never reached by Tab";
    }
    return missed;
}

// Whether a label or button shows less than its whole caption.
bool CutsItsCaption(QWidget *w)
{
    const QFontMetrics metrics(w->font());
    auto *label = qobject_cast<QLabel *>(w);
    auto *button = qobject_cast<QAbstractButton *>(w);
    if (label && label->wordWrap())
        return label->heightForWidth(label->width()) > label->height();
    if (label)
        return metrics.horizontalAdvance(label->text()) > label->contentsRect().width();
    return button && metrics.horizontalAdvance(button->text().remove('&')) >
                         w->width() - w->style()->pixelMetric(QStyle::PM_ButtonMargin);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

    LocalServer server_;
    Form1 *form_ = nullptr;
    QSize designed_;

    template <typename T = QWidget> T *control(const QString &name, QWidget *in = nullptr) const
    {
        T *widget = (in ? in : form_)->findChild<T *>(name);
        if (!widget)
            qFatal("no control %s", qPrintable(name));
        return widget;
    }
    QStringList fields(QWidget *in = nullptr) const
    {
        QStringList texts;
        for (const QString &name : {u"url"_s, u"name1"_s, u"mail"_s})
            texts << control<QLineEdit>(name, in)->text();
        return texts;
    }
    void fill(const QStringList &texts)
    {
        for (int i = 0; i < 3; ++i)
            control<QLineEdit>(QStringList{"url", "name1", "mail"}[i])->setText(texts.value(i));
    }
    static QStringList stored(const QList<QString> &names = {keys::kUrl, keys::kName, keys::kMail})
    {
        QStringList values;
        for (const QString &name : names)
            values << SettingsStore().ReadSetting(keys::kApp, keys::kSection, name, u"-"_s);
        return values;
    }
    static void store(const QString &key, const QString &value)
    {
        SettingsStore().WriteSetting(keys::kApp, keys::kSection, key, value);
    }
    void showTab(int index)
    {
        QTabBar *bar = form_->findChild<QTabBar *>();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QCOMPARE(bar->currentIndex(), index);
    }
    WebBrowser *pane() const { return control<WebBrowser>(u"WebBrowser1"_s); }
    QWebEngineView *view() const { return pane()->view(); }
    void openPage(const QString &path, const QByteArray &body)
    {
        server_.setPage(path, body);
        pane()->Navigate(server_.url(path));
        QTRY_VERIFY(view()->url().path() == path && view()->title().startsWith(u"page"_s));
    }
    // One of the three windows, opened and active.
    QWidget *open(const QString &which)
    {
        QWidget *window = which == u"about box"_s     ? static_cast<QWidget *>(frmAbout::Open())
                          : which == u"main window"_s ? form_
                                                      : nullptr;
        if (!window) // Tools, Options
            control<QAction>(u"mnuToolsOPtions"_s)->trigger(), window = Form2::Instance();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            qWarning("%s did not become active", qPrintable(which));
        return window;
    }

private slots:
    void initTestCase()
    {
        msgbox::seam::Enable();
        form_ = new Form1;
        form_->setHosts(HostTable::AllAt(server_.host()));
        form_->setIndexNowTimeout(2000);
        designed_ = form_->size();
        // Before the window shows, the pane only remembers where to go.
        QVERIFY(!pane()->engineStarted());
        form_->show();
        QTRY_VERIFY(pane()->engineStarted());
        // The page takes the focus in the pane once the engine shows it.
        QTRY_VERIFY(view()->url() == QUrl(u"about:blank"_s) && view()->focusProxy());
        QCOMPARE(form_->devicePixelRatioF(),
                 qEnvironmentVariable("QT_SCALE_FACTOR", u"1"_s).toDouble());
    }

    void cleanupTestCase() { delete form_; }

    void init()
    {
        QDir(Scratch().filePath(u"config"_s)).removeRecursively();
        fill({});
        showTab(0);
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_));
        control(u"url"_s)->setFocus();
        server_.clear();
    }

    void cleanup()
    {
        delete Form2::Instance();
        delete frmAbout::Instance();
        delete IndexNowKeyDialog::Instance();
        form_->resize(designed_);
        QCOMPARE(ShownTexts(), QStringList());
    }

    void startsOnTheFirstTab_keysDoWhatTheyShould()
    {
        QVERIFY(control(u"Frame1"_s)->isVisible() && !control(u"Frame2"_s)->isVisible());
        QVERIFY(!control(u"Image1"_s)->accessibleName().isEmpty()); // the picture is spoken
        // Tabs as wide as their captions, not stretched over the strip.
        QVERIFY(form_->findChild<QTabBar *>()->tabRect(1).right() < form_->width() / 2);
        QObject scope;
        QStringList clicked;
        for (QPushButton *b : form_->findChildren<QPushButton *>())
            connect(b, &QPushButton::clicked, &scope,
                    [&clicked, b] { clicked << b->objectName(); });
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(control(u"mail"_s), key); // press nothing
        // Tab: the fields, then the tab strip; the favorites from right to
        // left; the engines from What u Seek back to Google.
        const char *steps[][2] = {
            {"mail", "SSTab1Tabs"}, {"Command9", "Command10"}, {"Command2", "Command1"}};
        for (const auto &[from, to] : steps) {
            showTab(qstrcmp(from, "Command2") == 0);
            control(from)->setFocus();
            QTest::keyClick(control(from), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), to);
        }
        // Lycos and Magellan share L: it moves the focus, pressing nothing.
        for (const QString &next : {u"Command2"_s, u"Command15"_s}) {
            QTest::keyClick(form_, 'L', Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), control(next));
        }
        QTest::qWait(200);
        QCOMPARE(clicked, QStringList());
    }

    void favorites_data()
    {
        // The fields as typed, the commands (buttons, keys or menu items),
        // the answer queued for a question (0: none), then what each message
        // shown says, the favorites stored and the fields afterwards.
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("after");
        const auto row = [](const char *name, const QStringList &typed, const QStringList &commands,
                            int answer, const QStringList &shown, const QStringList &stored,
                            const QStringList &after) {
            QTest::newRow(name) << typed << commands << answer << shown << stored << after;
        };
        const QStringList none = {"-", "-", "-"}, noUrl = {"", "Ann", "a@b"},
                          blanks = {" ", "\t", ""};
        // Any length, with a pair of surrogates across the old 32,767 cut.
        const QStringList odd = {QString(32766, 'a') + u"😀http://e.com/a b?x=1&y=[2];#"_s,
                                 u" Zoë 😀 = [s] "_s, u"me@e.com "_s};
        row("Save, Clear All, Ctrl+G", odd, {"Command11", "Command9", "Ctrl+G"}, 0, {kSaved}, odd,
            odd);
        row("Ctrl+S, no address, No", noUrl, {"Ctrl+S"}, msgbox::IDNO, {kAsked}, none, noUrl);
        row("menu Save, no address, Yes", noUrl, {"mnuFileSave"}, msgbox::IDYES, {kAsked, kSaved},
            noUrl, noUrl);
        row("blanks are an address", blanks, {"Command11"}, 0, {kSaved}, blanks, blanks);
        row("Load with nothing stored", odd, {"Command10"}, 0, {}, none, {"", "", ""});
        // Too large for the store together: reported, and nothing of it stored.
        const QStringList huge(3, QString(SettingsStore::kMaxFileSize / 3 + 1, 'x'));
        row("too large", huge, {"Command11"}, 0, {SettingsStore::DefaultPath()}, none, huge);
    }
    void favorites()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, commands);
        QFETCH(int, answer);
        QFETCH(QStringList, shown);
        fill(typed);
        if (answer)
            msgbox::seam::QueueAnswer(answer);
        for (const QString &command : commands) {
            if (command.startsWith(u"Ctrl+"_s))
                QTest::keyClick(control(u"url"_s), command.back().toLatin1(), Qt::ControlModifier);
            else if (command.startsWith(u"mnu"_s))
                control<QAction>(command)->trigger();
            else
                QTest::mouseClick(control<QPushButton>(command), Qt::LeftButton);
        }
        const QStringList texts = ShownTexts();
        QCOMPARE(texts.size(), shown.size());
        for (int i = 0; i < texts.size(); ++i)
            QVERIFY2(texts[i].contains(shown[i]), qPrintable(texts[i]));
        QTEST(stored(), "stored");
        QTEST(fields(), "after");
    }

    void engineButtons_sendTheExactRequest_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<char>("letter"); // its access letter, pressed with Alt; 0: a click
        for (const Engine &e : Catalogue()) {
            const char letter =
                QString::fromLatin1(e.caption).section('&', 1)[0].toUpper().toLatin1();
            QTest::addRow("%s", e.name) << QString::fromLatin1(e.control) << '\0';
            if (letter != 'L' && letter != 'H') // shared: Lycos, Magellan; Hotbot, Help
                QTest::addRow("Alt+%c", letter) << QString::fromLatin1(e.control) << letter;
        }
    }
    void engineButtons_sendTheExactRequest()
    {
        QFETCH(QString, button);
        QFETCH(char, letter);
        const SiteDetails site{"http://e.com/a b?x=1&y=2#top", "Ann Lee", "zoë+1@e.com"};
        fill({site.url, site.name1, site.mail});
        showTab(1);
        if (letter)
            QTest::keyClick(form_, letter, Qt::AltModifier);
        else
            QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
        const QString address =
            RequestAddress(*EngineForControl(button), site, HostTable::AllAt(server_.host()));
        QTRY_COMPARE(server_.requests(),
                     QStringList{"GET " + address.mid(server_.url({}).size()) + " HTTP/1.1"});
        QCOMPARE(fields(), QStringList({site.url, site.name1, site.mail}));
    }

    void indexNow_answerExplainedInThePane_data()
    {
        QTest::addColumn<QString>("title"); // the row names the status line sent
        QTest::newRow("200 OK") << u"IndexNow: received"_s;
        QTest::newRow("202 Accepted") << u"IndexNow: received, key check pending"_s;
        QTest::newRow("400 Bad Request") << u"IndexNow: bad request"_s;
        QTest::newRow("403 Forbidden") << u"IndexNow: key not valid"_s;
        QTest::newRow("422 Unprocessable Entity") << u"IndexNow: address not on the key's host"_s;
        QTest::newRow("429 Too Many Requests") << u"IndexNow: too many requests"_s;
        QTest::newRow("500 Oops") << u"IndexNow: unexpected answer 500"_s;
        QTest::newRow("no answer") << u"IndexNow: no answer in 2 seconds"_s;
    }
    void indexNow_answerExplainedInThePane()
    {
        const QByteArray tag = QTest::currentDataTag();
        server_.setStatus(u"/indexnow"_s, tag == "no answer" ? QByteArray() : tag);
        fill({u"http://example.com/a b?c=1&d#e\u00e9"_s});
        control<QAction>(u"mnuToolsIndexNow"_s)->trigger();
        const QString key = stored({keys::kIndexNowKey})[0];
        QTRY_COMPARE(server_.requests(),
                     QStringList{"GET /indexnow?url=http://example.com/a%20b?c%3D1%26d%23e%C3%A9"
                                 "&key=" +
                                 key + " HTTP/1.1"});
        QFETCH(QString, title);
        QTRY_COMPARE(view()->title(), title);
        // Only the program's own page gets past the pane's confinement.
        QSignalSpy loads(view(), &QWebEngineView::loadFinished);
        pane()->Navigate(u"data:text/html,<title>x</title>"_s);
        QTRY_COMPARE(loads.size(), 1);
        QCOMPARE(view()->title(), title);
    }

    void indexNow_emptyAddressOrBadKey_sendsNothing()
    {
        control<QAction>(u"mnuToolsIndexNow"_s)->trigger(); // the address field is empty
        store(keys::kIndexNowKey, u"short"_s);
        fill({u"https://example.com/"_s});
        control<QAction>(u"mnuToolsIndexNow"_s)->trigger();
        QCOMPARE(ShownTexts().size(), 2);
        QCOMPARE(stored({keys::kIndexNowKey}), QStringList{u"short"_s});
        QTest::qWait(300);
        QVERIFY(server_.requests().isEmpty());
    }

    void indexNowKeyDialog_byKeyboard()
    {
        fill({server_.url(u"/page.html"_s)});
        QTest::keyClick(form_, Qt::Key_T, Qt::AltModifier);
        auto *tools = control<QMenu>(u"mnuTools"_s);
        QTRY_VERIFY(tools->isVisible());
        QTest::keyClick(tools, Qt::Key_K);
        IndexNowKeyDialog *dialog = nullptr;
        QTRY_VERIFY((dialog = IndexNowKeyDialog::Instance()) && dialog->isActiveWindow());
        for (QWidget *w : dialog->findChildren<QWidget *>()) // named for screen readers
            QVERIFY(!w->focusPolicy() || !w->accessibleName().isEmpty());
        const QString key = stored({keys::kIndexNowKey})[0];
        QStringList texts;
        for (const char *name : {"txtKey", "txtFileName", "txtContent", "txtAddress"})
            texts << control<QLineEdit>(name, dialog)->text();
        QCOMPARE(texts, QStringList({key, key + ".txt", key, server_.url("/" + key + ".txt")}));
        // A button's access letter clicks it a moment later.
        QTest::keyClick(dialog, Qt::Key_C, Qt::AltModifier);
        QTRY_COMPARE(QGuiApplication::clipboard()->text(), key);
        QTest::keyClick(dialog, Qt::Key_V, Qt::AltModifier);
        QTRY_COMPARE(server_.requests(), QStringList{"GET /" + key + ".txt HTTP/1.1"});
        QTest::keyClick(dialog, Qt::Key_M, Qt::AltModifier); // the seam answers Yes
        QTRY_VERIFY(stored({keys::kIndexNowKey})[0] != key);
        QCOMPARE(ShownTexts().size(), 1); // having asked
        QCOMPARE(control<QLineEdit>(u"txtKey"_s, dialog)->text(), stored({keys::kIndexNowKey})[0]);
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!IndexNowKeyDialog::Instance());
    }

    void options_data()
    {
        // Stored before (start-up, auto-complete; none: nothing), what the
        // boxes show, the controls pressed by name ("close": the close box,
        // "Alt+x": a key, "Return" or "Escape" on every control), then what is
        // stored and whether the dialog stays open.
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QList<Qt::CheckState>>("shown");
        QTest::addColumn<QStringList>("presses");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("open");
        const auto row = [](const char *name, const QStringList &before,
                            QList<Qt::CheckState> shown, const QStringList &presses,
                            const QStringList &after, bool open) {
            QTest::newRow(name) << before << shown << presses << after << open;
        };
        const auto C = Qt::Checked, U = Qt::Unchecked, P = Qt::PartiallyChecked;
        const QStringList none = {"-", "-"};
        row("OK writes as shown", {"1", "0"}, {C, U}, {"Alt+O"}, {"1", "0"}, false);
        row("indeterminate, clicked, Apply", {"2", "2"}, {P, P}, {"Check1", "Command1"}, {"1", "2"},
            true);
        row("close box writes nothing", {}, {U, C}, {"Check2", "close"}, none, false);
        row("Cancel keeps what Apply wrote", {}, {U, C}, {"Check1", "Alt+A", "Check2", "Command2"},
            {"1", "1"}, false);
        row("Enter and Esc press nothing", {}, {U, C}, {"Check1", "Return", "Escape"}, none, true);
    }
    void options()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, presses);
        QFETCH(bool, open);
        if (!before.isEmpty())
            store(keys::kStartup, before[0]), store(keys::kAuto, before[1]);
        QPointer<Form2> dialog = qobject_cast<Form2 *>(this->open(u"options dialog"_s));
        QTEST(QList({dialog->Check1->checkState(), dialog->Check2->checkState()}), "shown");
        for (const QString &name : presses) {
            if (name == u"close"_s) {
                dialog->close();
            } else if (name.startsWith(u"Alt+"_s)) { // the click lands a moment later
                QTest::keyClick(dialog, name.back().toLatin1(), Qt::AltModifier);
                QTest::qWait(150);
            } else if (name == u"Return"_s || name == u"Escape"_s) { // on every control
                for (QWidget *w : dialog->findChildren<QWidget *>())
                    QTest::keyClick(w, name == u"Return"_s ? Qt::Key_Return : Qt::Key_Escape);
            } else { // a box's click lands on its box
                auto *button = control<QAbstractButton>(name, dialog);
                QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
            }
        }
        QTEST(stored({keys::kStartup, keys::kAuto}), "after");
        QTRY_COMPARE(!dialog.isNull() && dialog->isVisible(), open);
        QCOMPARE(Form2::Instance() != nullptr, open);
    }

    void options_oneDialog_takeEffectAtTheNextStart()
    {
        store(keys::kUrl, u"http://fav/"_s);
        auto *dialog = qobject_cast<Form2 *>(open(u"options dialog"_s));
        QVERIFY(!dialog->parentWidget() && !dialog->isModal());
        QVERIFY((dialog->geometry().center() - form_->frameGeometry().center()).manhattanLength() <
                5);
        dialog->Check1->click();
        dialog->Check2->click();
        store(keys::kStartup, u"0"_s); // a second opening brings it forward as it is
        QCOMPARE(open(u"options dialog"_s), static_cast<QWidget *>(dialog));
        QCOMPARE(dialog->Check1->checkState(), Qt::Checked);
        dialog->Command3->click();
        QCOMPARE(fields(), QStringList({"", "", ""})); // nothing changes in this run
        QVERIFY(autocomplete::HasAutoComplete(control<QLineEdit>(u"url"_s)));
        Form1 next; // the next run
        QCOMPARE(fields(&next), QStringList({"http://fav/", "", ""}));
        QVERIFY(!control<QLineEdit>(u"url"_s, &next)->completer());
    }

    void pane_confinesThePage()
    {
        showTab(1);
        QWebEnginePage *page = view()->page();
        QVERIFY(page->profile()->isOffTheRecord());
        QCOMPARE(page->profile()->persistentCookiesPolicy(),
                 QWebEngineProfile::NoPersistentCookies);
        using S = QWebEngineSettings;
        for (S::WebAttribute off :
             {S::LocalContentCanAccessFileUrls, S::LocalContentCanAccessRemoteUrls,
              S::LocalStorageEnabled, S::JavascriptCanAccessClipboard, S::JavascriptCanPaste,
              S::PluginsEnabled, S::FullScreenSupportEnabled, S::ScreenCaptureEnabled,
              S::AllowWindowActivationFromJavaScript, S::WebGLEnabled, S::PdfViewerEnabled})
            QVERIFY2(!page->settings()->testAttribute(off), qPrintable(QString::number(off)));
        QVERIFY(!control<QProgressBar>(u"WebBrowser1Progress"_s)->isTextVisible()); // a plain line

        // A new window loads in the pane itself; local addresses are refused.
        QSignalSpy urls(view(), &QWebEngineView::urlChanged);
        openPage(u"/links"_s, "<title>page</title><a id=f href='file:///etc/hostname'>f</a>");
        const int windows = int(QApplication::topLevelWidgets().size());
        page->runJavaScript(u"document.getElementById('f').click(); window.open('/popup')"_s);
        QTRY_COMPARE(view()->url().path(), u"/popup"_s);
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
        for (const char *local : {"file:///etc/hostname", "qrc:/icons/pagecrier-32.png"})
            pane()->Navigate(QString::fromLatin1(local));
        openPage(u"/after"_s, LocalServer::titledPage(u"page after"_s));
        for (const QList<QVariant> &args : urls)
            QCOMPARE(args.at(0).toUrl().scheme(), u"http"_s);

        // Every permission is denied.
        page->runJavaScript(
            u"Notification.requestPermission().then(p => document.title = 'notify:' + p)"_s);
        QTRY_COMPARE(view()->title(), u"notify:denied"_s);
    }

    void pane_missingEngineModule_isReported()
    {
        // main() ran PrepareWebEngine(): the sandbox is off only for root.
        QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1", geteuid() == 0);
        WebBrowser::SetModuleCandidates({u"/nowhere/engine.so"_s});
        WebBrowser pane;
        pane.show();
        QString message = u"no failure"_s;
        try {
            pane.Navigate(server_.url(u"/x"_s));
        } catch (const Failure &failure) {
            message = failure.message();
        }
        WebBrowser::SetModuleCandidates({});
        QVERIFY2(message.contains(u"/nowhere/engine.so"_s), qPrintable(message));
        QCOMPARE(pane.findChild<QLabel *>(u"WebBrowser1Error"_s)->text(), message); // shown there
    }

    // An engine button pressed as soon as the main window shows still sends
    // its request, and a run that loads a page leaves nothing of the pane in
    // the home folder. Both are seen from outside, in a run of this program
    // with a scratch HOME (on an X server when Xvfb is there to start, since
    // that is where OpenGL could be set up).
    void pressAtShowIsSentAndHomeStaysClean()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name :
             {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            env.remove(QString::fromLatin1(name));
        env.insert(u"HOME"_s, home.path());
        env.insert(u"PAGECRIER_TEST_RUN"_s, u"1"_s);
        // The program's own choice of rendering, not the test suite's.
        env.insert(u"QTWEBENGINE_CHROMIUM_FLAGS"_s,
                   u"--disable-background-networking --disable-component-update"_s);
        QProcess xvfb;
        const QString xvfbPath = QStandardPaths::findExecutable(u"Xvfb"_s);
        if (!xvfbPath.isEmpty()) {
            xvfb.start(xvfbPath, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s});
            QTRY_VERIFY(xvfb.canReadLine());
            env.insert(u"DISPLAY"_s, ':' + xvfb.readLine().trimmed());
            env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        }
        QProcess run;
        run.setProcessEnvironment(env);
        run.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        run.start(QCoreApplication::applicationFilePath());
        QVERIFY(run.waitForFinished(120000));
        xvfb.terminate();
        xvfb.waitForFinished();
        QCOMPARE(run.exitCode(), 0); // the request sent and its answer shown

        const QRegularExpression allowed(u"^\\.(config|local(/share)?)$|"
                                         "^\\.(config|local/share)/pagecrier(/.*)?$"_s);
        QDirIterator it(home.path(),
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QDir(home.path()).relativeFilePath(it.next());
            QVERIFY2(allowed.match(path).hasMatch(), qPrintable(path + " was left in HOME"));
        }
    }

    void layout_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<double>("grow"); // the main window's size, designed = 1
        QTest::newRow("main window") << "main window" << 1.0;
        QTest::newRow("main window, larger") << "main window" << 1.6;
        QTest::newRow("options dialog") << "options dialog" << 1.0;
        QTest::newRow("about box") << "about box" << 1.0;
    }
    void layout()
    {
        QFETCH(QString, which);
        QFETCH(double, grow);
        QWidget *window = open(which);
        if (window == form_) {
            form_->resize(designed_ * grow);
            QTRY_COMPARE(form_->size(), designed_ * grow);
        }
        QStringList faults;
        for (int tab = 0; tab < (window == form_ ? 2 : 1); ++tab) {
            if (window == form_)
                showTab(tab);
            QList<QWidget *> parents{window};
            for (int p = 0; p < parents.size(); ++p) {
                QList<QWidget *> children; // the shown, named controls placed in this one
                for (QWidget *w : parents[p]->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                    if (w->isVisibleTo(window) && !w->objectName().isEmpty() &&
                        !w->objectName().startsWith(u"qt_"_s))
                        children << w;
                }
                parents << children;
                for (QWidget *w : children) {
                    // The tab control keeps its top margin below the whole
                    // client height.
                    if (!parents[p]->rect().contains(w->geometry()) && w->objectName() != "SSTab1")
                        faults << Describe(w) + " sticks out";
                    for (QWidget *other : children) {
                        const QString pair = qMin(w->objectName(), other->objectName()) + ' ' +
                                             qMax(w->objectName(), other->objectName());
                        if (w < other && w->geometry().intersects(other->geometry()) &&
                            !kDesignedOverlaps.contains(pair))
                            faults << Describe(w) + " overlaps " + other->objectName();
                    }
                    if (CutsItsCaption(w))
                        faults << Describe(w) + " cuts its caption";
                }
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        if (window != form_)
            return;
        // The fields end where the buttons below them do, both pages stand in
        // one place, the page fills the pane.
        const auto right = [this](const QString &name) {
            return control(name)->geometry().right();
        };
        QCOMPARE(QList({right(u"url"_s), right(u"name1"_s), right(u"mail"_s)}),
                 QList<int>(3, right(u"Command9"_s)));
        QCOMPARE(control(u"Frame1"_s)->geometry(), control(u"Frame2"_s)->geometry());
        QCOMPARE(view()->geometry(), pane()->rect());
    }

    void tinyWindow_thenRestored_comesBack()
    {
        QHash<QWidget *, QRect> before;
        for (QWidget *w : form_->findChildren<QWidget *>()) {
            if (form_->geometryTwips().contains(w->objectName()))
                before.insert(w, w->geometry());
        }
        // Sizes below zero are refused: the pages keep the last ones.
        const QSize client = form_->centralWidget()->size();
        form_->centralWidget()->resize(6, 6);
        QCOMPARE(control(u"Frame1"_s)->size(), before.value(control(u"Frame1"_s)).size());
        form_->centralWidget()->resize(client);
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(it.key()->geometry(), it.value());
    }

    void accessibility_data()
    {
        QTest::addColumn<QString>("which");
        for (const char *which : {"main window", "options dialog", "about box"})
            QTest::newRow(which) << QString::fromLatin1(which);
    }
    void accessibility()
    {
        QFETCH(QString, which);
        QWidget *window = open(which);
        QStringList faults; // every control that can take the focus has a name
        for (QWidget *w : window->findChildren<QWidget *>() << window) {
            const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
            if (w->focusPolicy() != Qt::NoFocus && name.trimmed().isEmpty())
                faults << Describe(w) + " has no name";
        }
        auto *tabs = window->findChild<QTabBar *>();
        for (int page = 0; page < (tabs ? tabs->count() : 1); ++page) {
            if (tabs) { // to the page by keyboard alone: Tab to the tab strip, then Right
                for (int i = 0; i < 40 && QApplication::focusWidget() != tabs; ++i)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QTest::keyClick(tabs, page ? Qt::Key_Right : Qt::Key_Left);
            }
            faults << UnreachedByTab(window);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }

    void fileExit_closesEveryWindow() // last: it closes the main window
    {
        QWidget other;
        other.show();
        control<QAction>(u"mnuFileExit"_s)->trigger();
        QVERIFY(!form_->isVisible() && !other.isVisible());
    }
};

// The run seen from outside: the main window against a local server, an
// engine button pressed right after show(); ends well once the server's
// answer to it shows in the pane.
static int RunWithPressAtShow()
{
    LocalServer server;
    Form1 form;
    form.setHosts(HostTable::AllAt(server.host()));
    form.show();
    form.findChild<QPushButton *>(u"Command1"_s)->click();
    auto *pane = form.findChild<WebBrowser *>(u"WebBrowser1"_s);
    const auto answered = [&] { return pane->view() && pane->view()->title() == u"Answer 1"; };
    return QTest::qWaitFor(answered, 60000) ? 0 : 1;
}

// Like the other tests' main, but that run keeps the HOME it was given.
int main(int argc, char *argv[])
{
    const bool run = qEnvironmentVariableIsSet("PAGECRIER_TEST_RUN");
    if (!run)
        Scratch();
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Pagecrier"_s);
    if (run)
        return RunWithPressAtShow();
    TestForm1 test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form1.moc"
