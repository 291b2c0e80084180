// The main window and its dialogs driven as a user would: mouse, keys,
// access letters and menus, with the settings in the scratch folder and the
// engines' and IndexNow's requests arriving at a local server. The browser
// pane keeps its pages confined. In every window, every control that can take
// the focus has a name to speak, Tab reaches every control, and at the
// designed size and larger no control overlaps another, sticks out of its
// container or cuts its caption (that check runs again at twice the scale).
// One run of the program, started from outside with a scratch HOME on an X
// server of its own, sends an engine press made as the window shows, brings
// a modeless window asked for again to the front and leaves nothing of the
// pane in HOME.
#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "indexnow_key.h"
#include "keys.h"
#include "local_server.h"
#include "record.h"
#include "settings_store.h"
#include "sitemap_dialog.h"
#include "test_support.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QtWebEngineWidgets>
#include <QtWidgets>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

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
// shown, enabled controls that can take the focus and were never reached (the pane
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
        if (w->window() == window && w->isVisible() && w->isEnabled() &&
            w->focusPolicy() != Qt::NoFocus && !w->focusProxy() &&
            !(qobject_cast<QLabel *>(w) && !(w->focusPolicy() & Qt::TabFocus)) &&
            std::none_of(visited.cbegin(), visited.cend(),
                         [w](QWidget *v) { return v == w || w->isAncestorOf(v); }))
            missed << Describe(w) + " is never reached by Tab";
    }
    return missed;
}

// Whether a label or button shows less than its whole caption, or a label
// shows it lower than the top of its box (below the height the text takes,
// there is more than background).
bool MisplacesItsCaption(QWidget *w)
{
    const QFontMetrics metrics(w->font());
    auto *label = qobject_cast<QLabel *>(w);
    auto *button = qobject_cast<QAbstractButton *>(w);
    if (label && label->pixmap().isNull()) {
        const QImage shot = label->grab().toImage();
        const int text = label->heightForWidth(label->width()) * shot.devicePixelRatio();
        QImage below = shot.copy(0, text, shot.width(), shot.height() - text), blank = below;
        blank.fill(below.isNull() ? 0 : below.pixel(0, below.height() - 1));
        if (below != blank)
            return true;
    }
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
        return (in ? in : form_)->findChild<T *>(name);
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
    void showTab(int index) { form_->findChild<QTabBar *>()->setCurrentIndex(index); }
    WebBrowser *pane() const { return control<WebBrowser>(u"WebBrowser1"_s); }
    QWebEngineView *view() const { return pane()->view(); }
    // The main window ("Form1"), or the window a menu command opens, active.
    QWidget *open(const QString &which)
    {
        const bool main = which == u"Form1"_s;
        main ? form_->activateWindow() : control<QAction>(which)->trigger();
        (void)QTest::qWaitFor([this, main] {
            return QApplication::activeWindow() && (QApplication::activeWindow() == form_) == main;
        });
        return QApplication::activeWindow();
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
        const QByteArray gl = qgetenv("QT_XCB_GL_INTEGRATION");
        form_->show();
        // The page takes the focus in the pane once the engine shows it. The
        // environment is as it was, for the programs started later.
        QTRY_VERIFY(pane()->engineStarted() && view()->url() == QUrl(u"about:blank"_s) &&
                    view()->focusProxy());
        QCOMPARE(qgetenv("QT_XCB_GL_INTEGRATION"), gl);
        // Nothing stored: completion is on, for the address field alone.
        QVERIFY(control<QLineEdit>(u"url"_s)->completer());
        QVERIFY(!control<QLineEdit>(u"name1"_s)->completer() &&
                !control<QLineEdit>(u"mail"_s)->completer());
        // main() ran PrepareWebEngine(): the sandbox is off only for root.
        QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1", geteuid() == 0);
    }

    void cleanupTestCase() // File, Exit closes every window
    {
        QWidget other;
        other.show();
        control<QAction>(u"mnuFileExit"_s)->trigger();
        QVERIFY(!form_->isVisible() && !other.isVisible());
        delete form_;
    }

    void init()
    {
        QDir(Scratch().filePath(u"config"_s)).removeRecursively();
        fill({});
        showTab(0);
        QCOMPARE(open(u"Form1"_s), form_);
        control(u"url"_s)->setFocus();
        server_.clear();
        form_->setHosts(HostTable::AllAt(server_.host()));
    }

    void cleanup()
    {
        delete Form2::Instance();
        delete frmAbout::Instance();
        delete IndexNowKeyDialog::Instance();
        delete SitemapDialog::Instance();
        form_->resize(designed_);
        QCOMPARE(ShownTexts(), QStringList());
    }

    void favorites_data()
    {
        // The fields as typed, the commands (buttons, keys or menu items),
        // the answer queued for a question (0: none), then a part of each
        // message shown, the favorites stored and the fields afterwards.
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
        // Any length, with a pair of surrogates across a line edit's default
        // 32,767 cut.
        const QStringList odd = {QString(32766, 'a') + u"😀http://e.com/a b?x=1&y=[2];#"_s,
                                 u" Zoë 😀 = [s] "_s, u"me@e.com "_s};
        const QStringList asked = {"haven't entered a URL"}, saved = {"favorites have been saved"};
        row("Save, Clear All, Ctrl+G", odd, {"Command11", "Command9", "Ctrl+G"}, 0, saved, odd,
            odd);
        row("Ctrl+S, no address, No, Load", noUrl, {"Ctrl+S", "Command10"}, msgbox::IDNO, asked,
            none, {"", "", ""});
        row("menu Save, no address, Yes by default", noUrl, {"mnuFileSave"}, 0, asked + saved,
            noUrl, noUrl);
        row("blanks are an address", blanks, {"Command11"}, 0, saved, blanks, blanks);
        row("Clear All", odd, {"Command9"}, 0, {}, none, {"", "", ""});
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
            if (letter != 'L') // shared by Lycos and Magellan
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
        if (letter == 'H') { // shared with Help: one press opens its menu, on this tab too
            QTRY_VERIFY(control<QMenu>(u"mnuHelp"_s)->isVisible());
            return (void)control<QMenu>(u"mnuHelp"_s)->close();
        }
        const QString address =
            RequestAddress(*EngineForControl(button), site, HostTable::AllAt(server_.host()));
        QTRY_COMPARE(server_.requests(),
                     QStringList{"GET " + address.mid(server_.url({}).size()) + " HTTP/1.1"});
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
        QTest::newRow("500 Internal Server Error") << u"IndexNow: unexpected answer 500"_s;
        QTest::newRow("hang up") << u"IndexNow: no answer"_s;
        QTest::newRow("no answer") << u"IndexNow: no answer in 2 seconds"_s;
        QTest::newRow("certificate") << u"IndexNow: certificate not verified"_s;
    }
    void indexNow_answerExplainedInThePane()
    {
        const QByteArray tag = QTest::currentDataTag();
        server_.setStatus(u"/indexnow"_s, tag == "no answer" ? QByteArray() : tag);
        LocalServer untrusted(LocalServer::Untrusted);
        HostTable hosts = HostTable::AllAt(server_.host());
        if (tag == "certificate")
            hosts.setIndexNowEndpoint(untrusted.url({}));
        form_->setHosts(hosts);
        fill({u"http://example.com/a b?c=1&d#e\u00e9"_s});
        control<QAction>(u"mnuToolsIndexNow"_s)->trigger();
        const QString sent = "GET /indexnow?url=http://example.com/a%20b?c%3D1%26d%23e%C3%A9&key=";
        // (After a hang-up the network layer may try once more.)
        if (tag != "certificate") {
            QTRY_COMPARE(server_.requests().value(0),
                         sent + stored({keys::kIndexNowKey})[0] + " HTTP/1.1");
            QVERIFY(server_.lastHead.contains("\r\nUser-Agent: Pagecrier\r\n"));
        }
        QFETCH(QString, title);
        if (tag == "no answer") // while it waits, the pane says so
            QTRY_COMPARE(view()->title(), u"IndexNow: sending"_s);
        QTRY_COMPARE(view()->title(), title);
        // Recorded, as the page says it.
        QCOMPARE("IndexNow: " + indexnow::Record().Entries().value(0).meaning, title);
    }

    void indexNowKey_fileShown_newKeyMade_badKeySendsNothing()
    {
        fill({server_.url(u"/page.html"_s)});
        auto *dialog = qobject_cast<IndexNowKeyDialog *>(open(u"mnuToolsIndexNowKey"_s));
        const QString key = stored({keys::kIndexNowKey})[0]; // made now
        QVERIFY2(QRegularExpression(u"^[0-9a-f]{32}$"_s).match(key).hasMatch(), qPrintable(key));
        // Each field shows its part, and its label's letter takes the focus to it.
        for (const auto &[letter, name, text] :
             {std::tuple{Qt::Key_K, "txtKey", key},
              {Qt::Key_N, "txtFileName", key + ".txt"},
              {Qt::Key_T, "txtContent", key},
              {Qt::Key_A, "txtAddress", server_.url('/' + key + ".txt")}}) {
            QTest::keyClick(dialog, letter, Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), control<QLineEdit>(name, dialog));
            QCOMPARE(control<QLineEdit>(name, dialog)->text(), text);
        }
        // A button's access letter clicks it a moment later; Check Key File
        // fetches the file and says that it passes.
        const QString file = server_.url('/' + key + ".txt");
        server_.setPage('/' + key + ".txt", key.toLatin1());
        server_.setHeaders('/' + key + ".txt", {"Content-Type: text/plain"});
        QTest::keyClick(dialog, Qt::Key_V, Qt::AltModifier);
        QTRY_COMPARE(server_.requests(), QStringList{"GET /" + key + ".txt HTTP/1.1"});
        QTest::keyClick(dialog, Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(control<QLabel>(u"lblCheck"_s, dialog)->text(), file + " serves the key.");
        QTest::keyClick(dialog, Qt::Key_M, Qt::AltModifier); // the seam answers Yes
        QTRY_VERIFY(stored({keys::kIndexNowKey})[0] != key);
        QCOMPARE(ShownTexts().size(), 1); // having asked
        QCOMPARE(control<QLineEdit>(u"txtKey"_s, dialog)->text(), stored({keys::kIndexNowKey})[0]);
        // With an empty address field, or a key not valid, IndexNow sends
        // nothing and says why.
        server_.clear();
        fill({});
        control<QAction>(u"mnuToolsIndexNow"_s)->trigger();
        store(keys::kIndexNowKey, u"short"_s);
        fill({u"https://example.com/"_s});
        control<QAction>(u"mnuToolsIndexNow"_s)->trigger();
        QCOMPARE(ShownTexts().size(), 2);
        QCOMPARE(stored({keys::kIndexNowKey}), QStringList{u"short"_s});
        QTest::qWait(300);
        QVERIFY(server_.requests().isEmpty());
    }

    // The site-map dialog as a user drives it: an index of two site maps read,
    // what is dropped and excluded listed, the key file checked, the batch
    // sent and its answer explained; the history then shows in the pane.
    void sitemap_readExcludeSend_historyShown()
    {
        const QString key = u"0123456789abcdef"_s, site = server_.url({});
        store(keys::kIndexNowKey, key);
        const auto serve = [this](const QString &path, const QByteArray &body, const char *type) {
            server_.setPage(path, body);
            server_.setHeaders(path, {"Content-Type: " + QByteArray(type)});
        };
        serve('/' + key + ".txt", key.toLatin1(), "text/plain");
        const auto xml = [serve](const QString &path, const char *kind, const char *item,
                                 const QStringList &locs) {
            QByteArray body = "<?xml version='1.0'?><" + QByteArray(kind) + '>';
            for (const QString &loc : locs)
                body += '<' + QByteArray(item) + "><loc>" + loc.toUtf8() + "</loc></" + item + '>';
            serve(path, body + "</" + kind + '>', "application/xml");
        };
        xml(u"/index.xml"_s, "sitemapindex", "sitemap", {site + "/a.xml", site + "/b.xml"});
        xml(u"/a.xml"_s, "urlset", "url", {site + "/p&amp;1", site + "/tag/x", "http://e.org/"});
        xml(u"/b.xml"_s, "urlset", "url", {site + "/p2", site + "/p&amp;1"});
        fill({site + "/page.html"});
        auto *dialog = qobject_cast<SitemapDialog *>(open(u"mnuToolsSitemap"_s));
        auto *field = control<QLineEdit>(u"txtSitemap"_s, dialog);
        QCOMPARE(field->text(), site + "/sitemap.xml");
        field->clear();
        QTest::keyClicks(field, site + "/index.xml");
        QTest::keyClick(dialog, Qt::Key_R, Qt::AltModifier);
        auto *summary = control<QPlainTextEdit>(u"txtSummary"_s, dialog);
        const auto says = [summary](const QString &text) {
            return QTest::qWaitFor([&] { return summary->toPlainText().contains(text); });
        };
        QVERIFY2(says(u"3 addresses will be sent."_s), qPrintable(summary->toPlainText()));
        QVERIFY(says(u"1 dropped, on another host than the site map:\n    http://e.org/"_s));
        QVERIFY(says(u"1 dropped, listed before:\n    "_s + site + "/p&1"));
        QTest::keyClicks(control(u"txtExclude"_s, dialog), u"*/tag/*"_s);
        QVERIFY(says(u"2 addresses will be sent."_s) && says(u"1 excluded"_s));
        server_.clear();
        server_.setStatus(u"/indexnow"_s, "200 OK");
        QTest::keyClick(dialog, Qt::Key_S, Qt::AltModifier);
        QVERIFY2(says(u"2 addresses received, 0 not."_s),
                 qPrintable(summary->toPlainText().replace('\n', '|')));
        QVERIFY(says(u"Batch 1 of 1: 200, received"_s));
        QCOMPARE(server_.requests(),
                 QStringList({"GET /" + key + ".txt HTTP/1.1", u"POST /indexnow HTTP/1.1"_s}));
        QCOMPARE(server_.bodies().last(),
                 R"({"host":"127.0.0.1","key":")" + key.toUtf8() + R"(","keyLocation":")" +
                     site.toUtf8() + '/' + key.toUtf8() + R"(.txt","urlList":[")" + site.toUtf8() +
                     R"(/p&1",")" + site.toUtf8() + R"(/p2"]})");
        QVERIFY(server_.lastHead.contains("\r\nContent-Type: application/json; charset=utf-8\r\n"));
        control<QAction>(u"mnuToolsHistory"_s)->trigger();
        QTRY_COMPARE(view()->title(), u"IndexNow History"_s);
    }

    void options_data()
    {
        // Stored before (start-up, auto-complete; none: nothing), what the
        // boxes show, the controls clicked by name or keys pressed ("close":
        // the close box), then what is
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
        row("a file not read shows the defaults", {"huge"}, {U, C}, {"Alt+O"}, {"0", "1"}, false);
    }
    void options()
    {
        QFETCH(QStringList, before);
        QFETCH(QStringList, presses);
        QFETCH(bool, open);
        if (before.size() == 1) // over the size bound: not read, and kept aside at OK
            store(keys::kUrl, {}), QFile::resize(SettingsStore::DefaultPath(), 2 << 20);
        else if (!before.isEmpty())
            store(keys::kStartup, before[0]), store(keys::kAuto, before[1]);
        QPointer<Form2> dialog = qobject_cast<Form2 *>(this->open(u"mnuToolsOPtions"_s));
        QTEST(QList({dialog->Check1->checkState(), dialog->Check2->checkState()}), "shown");
        for (const QString &name : presses) {
            auto *button = dialog->findChild<QAbstractButton *>(name);
            if (name == u"close"_s) {
                dialog->close();
            } else if (button) { // a box's click lands on its box
                QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
            } else { // Return and Escape on every control; a click lands a moment later
                const bool alt = name.startsWith(u"Alt+"_s);
                for (QWidget *w :
                     alt ? QList<QWidget *>{dialog} : dialog->findChildren<QWidget *>())
                    QTest::keySequence(w, QKeySequence(name));
                QTest::qWait(150);
            }
        }
        QTEST(stored({keys::kStartup, keys::kAuto}), "after");
        if (before.size() == 1) // told twice: not read, then kept aside
            QVERIFY(ShownTexts().join(' ').contains(u"The boxes show the defaults"_s));
        QTRY_COMPARE(dialog.isNull(), !open); // closing unloads it
        QVERIFY(!open || dialog->isVisible());
    }

    void options_oneDialog_takeEffectAtTheNextStart()
    {
        store(keys::kUrl, u"http://fav/"_s);
        auto *dialog = qobject_cast<Form2 *>(open(u"mnuToolsOPtions"_s));
        QVERIFY(!dialog->parentWidget() && !dialog->isModal());
        dialog->Check1->click();
        dialog->Check2->click();
        store(keys::kStartup, u"0"_s); // a second opening brings it forward as it is
        QCOMPARE(open(u"mnuToolsOPtions"_s), static_cast<QWidget *>(dialog));
        dialog->Command3->click();
        QCOMPARE(fields(), QStringList({"", "", ""})); // nothing changes in this run
        const QFont desktop = QApplication::font();    // the next run, on a bold desktop font
        QApplication::setFont(QFont(desktop.family(), desktop.pointSize(), QFont::Bold));
        auto restore = qScopeGuard([desktop] { QApplication::setFont(desktop); });
        Form1 next;
        QCOMPARE(next.findChild<QTabBar *>()->font().weight(), QFont::Normal); // as designed
        QCOMPARE(fields(&next), QStringList({"http://fav/", "", ""}));
        QVERIFY(!control<QLineEdit>(u"url"_s, &next)->completer());
    }

    void pane_confinesThePage_reachesScreenReaders()
    {
        showTab(1);
        QWebEnginePage *page = view()->page();
        using S = QWebEngineSettings;
        for (S::WebAttribute off :
             {S::LocalContentCanAccessFileUrls, S::LocalContentCanAccessRemoteUrls,
              S::LocalStorageEnabled, S::JavascriptCanAccessClipboard, S::JavascriptCanPaste,
              S::PluginsEnabled, S::FullScreenSupportEnabled, S::ScreenCaptureEnabled,
              S::AllowWindowActivationFromJavaScript, S::WebGLEnabled, S::PdfViewerEnabled})
            QVERIFY2(!page->settings()->testAttribute(off), qPrintable(QString::number(off)));
        QVERIFY(!control<QProgressBar>(u"WebBrowser1Progress"_s)->isTextVisible()); // a plain line
        QCOMPARE(view()->contextMenuPolicy(), Qt::NoContextMenu); // no Save, View source, ...

        // A new window loads in the pane itself; local addresses are refused,
        // and of data: ones only the program's own page (the IndexNow tests
        // showed one) loads.
        // (The engine may name a refused address for a moment while it is
        // asked for; what counts is which loads end well.)
        QList<QWebEngineLoadingInfo> loads;
        connect(page, &QWebEnginePage::loadingChanged, this,
                [&loads](const QWebEngineLoadingInfo &load) { loads << load; });
        const auto ended = [&loads](const QString &scheme, const QString &path) {
            for (const QWebEngineLoadingInfo &load : loads)
                if (load.url().scheme() == scheme && load.url().path() == path &&
                    load.status() != QWebEngineLoadingInfo::LoadStartedStatus)
                    return load.status();
            return QWebEngineLoadingInfo::LoadStartedStatus;
        };
        const auto succeeded = QWebEngineLoadingInfo::LoadSucceededStatus;
        server_.setPage(u"/links"_s, "<a id=f href='file:///etc/hostname'>f</a>");
        pane()->Navigate(server_.url(u"/links"_s));
        QTRY_COMPARE(ended(u"http"_s, u"/links"_s), succeeded);
        page->runJavaScript(u"document.getElementById('f').click(); window.open('/popup')"_s);
        QTRY_COMPARE_WITH_TIMEOUT(ended(u"http"_s, u"/popup"_s), succeeded,
                                  30000); // slow when busy
        for (const char *local :
             {"file:///etc/hostname", "qrc:/icons/pagecrier-32.png", "data:text/html,<p>x"}) {
            const QUrl url(QString::fromLatin1(local));
            pane()->Navigate(url.toString());
            QTRY_VERIFY2(
                ended(url.scheme(), url.path()) != QWebEngineLoadingInfo::LoadStartedStatus, local);
        }
        for (const QWebEngineLoadingInfo &load : loads)
            QVERIFY2(load.status() != succeeded || load.url().scheme() == u"http"_s,
                     qPrintable(load.url().toString()));
        QTRY_COMPARE(view()->url().path(), u"/popup"_s); // where it was

        // Every permission is denied.
        page->runJavaScript(
            u"Notification.requestPermission().then(p => document.title = 'notify:' + p)"_s);
        QTRY_COMPARE(view()->title(), u"notify:denied"_s);

        // With a screen reader listening, a page reaches it: its heading is
        // in the accessibility tree under the pane.
        QAccessible::setActive(true);
        auto off = qScopeGuard([] { QAccessible::setActive(false); });
        pane()->ShowPage(u"<h1>Heard</h1>"_s);
        const std::function<bool(QAccessibleInterface *)> heard = [&heard](auto *a) {
            for (int i = 0; i < a->childCount(); ++i)
                if (QAccessibleInterface *c = a->child(i); c && heard(c))
                    return true;
            return a->role() == QAccessible::Heading && a->text(QAccessible::Name) == u"Heard"_s;
        };
        QTRY_VERIFY(heard(QAccessible::queryAccessibleInterface(pane())));
    }

    // An engine button pressed as soon as the main window shows still sends
    // its request; a modeless window asked for again comes to the front; the
    // program starts its engine; and runs that load a page leave nothing of
    // the pane in the home folder. All are seen from outside, in runs with a
    // scratch HOME on an X server and a session bus of their own (where OpenGL
    // could be set up, and windows have a stacking order and the keyboard's
    // focus).
    void runsOnX_pressAtShow_bringForward_engineStart_cleanHome()
    {
        QTemporaryDir home;
        QProcessEnvironment env; // none of the test suite's settings
        env.insert(u"HOME"_s, home.path());
        env.insert(u"PAGECRIER_TEST_RUN"_s, u"1"_s);
        QProcess xvfb;
        xvfb.start(u"Xvfb"_s, {u"-displayfd"_s, u"1"_s, u"-nolisten"_s, u"tcp"_s});
        QTRY_VERIFY(xvfb.canReadLine());
        env.insert(u"DISPLAY"_s, ':' + xvfb.readLine().trimmed());
        env.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        // A session bus of its own too: with none, libdbus starts one itself
        // where dbus-x11 is installed, which leaves HOME/.dbus behind.
        QProcess bus;
        bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        QTRY_VERIFY(bus.canReadLine());
        env.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus.readLine().trimmed());
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(QCoreApplication::applicationFilePath());
        QVERIFY(run.waitForFinished(120000));
        QCOMPARE(run.exitCode(), 0); // 1: no answer shown; 2: Options not brought forward
        // The program itself loads the engine once its window shows (this
        // test links it from the start, which sets it up another way), keeps
        // running, and draws in software: no OpenGL driver is loaded.
        run.start(QStringLiteral(PAGECRIER_PROGRAM), QStringList());
        QVERIFY(run.waitForStarted());
        QFile maps(u"/proc/%1/maps"_s.arg(run.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        QByteArray mapped;
        const auto loaded = [&] {
            return maps.seek(0) && (mapped = maps.readAll()).contains("libQt6WebEngineCore");
        };
        QTRY_VERIFY_WITH_TIMEOUT(loaded() || run.state() != QProcess::Running, 30000);
        QVERIFY(!run.waitForFinished(3000) && loaded() && !mapped.contains("/dri/"));
        run.kill();
        run.waitForFinished();
        for (QProcess *server : {&xvfb, &bus})
            server->terminate(), server->waitForFinished();

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

    void windows_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<double>("grow"); // the main window's size, designed = 1
        QTest::newRow("main window") << "Form1" << 1.0;
        QTest::newRow("main window, larger") << "Form1" << 1.6;
        for (const char *opening :
             {"mnuToolsOPtions", "mnuHelpAbout", "mnuToolsIndexNowKey", "mnuToolsSitemap"})
            QTest::newRow(opening) << QString::fromLatin1(opening) << 1.0;
    }
    // Every window has a title; no control overlaps another, sticks out of
    // its container or cuts its caption; every control that can take the
    // focus has a name, and Tab reaches every control.
    void windows()
    {
        QFETCH(QString, which);
        QFETCH(double, grow);
        QWidget *window = open(which);
        if (window == form_) {
            form_->resize(designed_ * grow);
            QTRY_COMPARE(form_->size(), designed_ * grow);
        }
        QStringList faults;
        if (window->windowTitle().isEmpty())
            faults << Describe(window) + " has no title";
        const QList<QWidget *> widgets = window->findChildren<QWidget *>();
        for (QWidget *w : widgets + QList{window}) {
            const QString name = QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
            if (w->focusPolicy() != Qt::NoFocus && name.trimmed().isEmpty())
                faults << Describe(w) + " has no name";
        }
        // The shown, named controls, each in the window or in another.
        const auto placed = [window](QWidget *w) {
            return w == window || (w->isVisibleTo(window) && !w->objectName().isEmpty() &&
                                   !w->objectName().startsWith(u"qt_"_s));
        };
        auto *tabs = window->findChild<QTabBar *>();
        for (int page = 0; page < (tabs ? tabs->count() : 1); ++page) {
            if (tabs) { // to the page by keyboard alone: Tab to the tab strip, then Right
                for (int i = 0; i < 40 && QApplication::focusWidget() != tabs; ++i)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QTest::keyClick(tabs, page ? Qt::Key_Right : Qt::Key_Left);
            }
            faults << UnreachedByTab(window);
            for (QWidget *w : widgets) {
                QWidget *in = w->parentWidget();
                if (!placed(w) || !placed(in))
                    continue;
                // The tab control keeps its top margin below the whole client
                // height.
                if (!in->rect().contains(w->geometry()) && w->objectName() != "SSTab1")
                    faults << Describe(w) + " sticks out";
                for (QWidget *other : in->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                    const QString pair = qMin(w->objectName(), other->objectName()) + ' ' +
                                         qMax(w->objectName(), other->objectName());
                    if (w < other && placed(other) && w->geometry().intersects(other->geometry()) &&
                        !kDesignedOverlaps.contains(pair))
                        faults << Describe(w) + " overlaps " + other->objectName();
                }
                if (MisplacesItsCaption(w))
                    faults << Describe(w) + " cuts its caption or shows it low";
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        if (window != form_)
            return;
        // The fields end where the buttons below them do (the text above them
        // within a pixel), both pages stand in one place, the page fills the
        // pane; the tabs are as wide as their captions; the picture is spoken;
        // Return in a field changes nothing; Tab goes from the fields to the tabs,
        // and Ctrl+PgUp round them.
        for (const QString &field : {u"url"_s, u"name1"_s, u"mail"_s})
            QCOMPARE(control(field)->geometry().right(),
                     control(u"Command9"_s)->geometry().right());
        QVERIFY(qAbs(control(u"Label7"_s)->geometry().right() -
                     control(u"url"_s)->geometry().right()) <= 1);
        QCOMPARE(control(u"Frame1"_s)->geometry(), control(u"Frame2"_s)->geometry());
        QCOMPARE(view()->geometry(), pane()->rect());
        QVERIFY(tabs->tabRect(1).right() < form_->width() / 2);
        QVERIFY(!control(u"Image1"_s)->accessibleName().isEmpty());
        showTab(0);
        control(u"mail"_s)->setFocus();
        QTest::keyClick(control(u"mail"_s), Qt::Key_Return); // nothing
        QTest::keyClick(control(u"mail"_s), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), tabs);
        QCOMPARE(tabs->currentIndex(), 0);
        QTest::keySequence(tabs, QKeySequence(u"Ctrl+PgUp"_s)); // back from the first: the last
        QCOMPARE(tabs->currentIndex(), 1);
        // Made tiny and then restored, the window comes back as it was.
        const QRect frame = control(u"Frame1"_s)->geometry(), field = control(u"url"_s)->geometry();
        const QSize client = form_->centralWidget()->size();
        form_->centralWidget()->resize(6, 6); // sizes below zero are refused
        QCOMPARE(control(u"Frame1"_s)->geometry(), frame);
        form_->centralWidget()->resize(client);
        QCOMPARE(control(u"url"_s)->geometry(), field);
    }
};

int main(int argc, char *argv[])
{
    // The run seen from outside keeps the HOME it was given.
    const bool run = qEnvironmentVariableIsSet("PAGECRIER_TEST_RUN");
    if (!run)
        Scratch();
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Pagecrier"_s);
    if (!run) {
        TestForm1 test;
        return QTest::qExec(&test, argc, argv);
    }
    // The main window against a local server, an engine button on its tab
    // pressed right after show(); 1 unless the server's answer shows.
    LocalServer server;
    Form1 form;
    form.setHosts(HostTable::AllAt(server.host()));
    form.show();
    form.findChild<QTabBar *>()->setCurrentIndex(1);
    form.findChild<QPushButton *>(u"Command1"_s)->click();
    auto *pane = form.findChild<WebBrowser *>(u"WebBrowser1"_s);
    const auto answered = [&] {
        return pane->view() && pane->view()->isVisible() && pane->view()->title() == u"Answer 1";
    };
    if (!QTest::qWaitFor(answered, 60000))
        return 1;
    // Asked for again while behind the main window, the Options dialog comes
    // to the front, whole on the screen, and takes the keyboard; 2 unless.
    auto *options = form.findChild<QAction *>(u"mnuToolsOPtions"_s);
    options->trigger();
    QWidget *dialog = Form2::Instance();
    const auto active = [](QWidget *w) {
        return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; });
    };
    if (!active(dialog) || (form.raise(), form.activateWindow(), !active(&form)))
        return 2;
    options->trigger();
    const auto onTop = [r = dialog->geometry(), dialog] {
        const QPixmap screen = dialog->screen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
        return screen.toImage().convertToFormat(QImage::Format_RGB32) ==
               dialog->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    return active(dialog) && QTest::qWaitFor(onTop) ? 0 : 2;
}

#include "tst_form1.moc"
