// The main window driven as a user would: mouse, keys, access letters and
// menus, with the settings in the scratch folder and the engines' requests
// arriving at a local server. Then the three windows as a screen reader, a
// keyboard user and any screen see them: every control that can take the
// focus has a name to speak, Tab reaches every control, and at the designed
// size and larger no control overlaps another, sticks out of its container or
// cuts its caption (that layout check runs again at twice the scale).
#include "autocomplete.h"
#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "keys.h"
#include "local_server.h"
#include "settings_store.h"
#include "sstab.h"
#include "test_support.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QWebEngineView>

using namespace Qt::StringLiterals;

namespace {

const QString kAsked = u"Are you sure? You haven't entered a URL."_s;
const QString kSaved = u"Your favorites have been saved!"_s;

// The widget's place for a failure message: "Frame1/url".
QString Describe(const QWidget *w)
{
    const QString name = w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                                   : w->objectName();
    return w->isWindow() || !w->parentWidget() ? name : Describe(w->parentWidget()) + '/' + name;
}

// Shown, enabled controls the Tab key should stop at (a label only when it
// asks for the Tab key itself).
QSet<QWidget *> TabStops(QWidget *window)
{
    QSet<QWidget *> stops;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() == window && w->isVisible() && w->isEnabled() &&
            w->focusPolicy() != Qt::NoFocus && !w->focusProxy() &&
            !(qobject_cast<QLabel *>(w) && !(w->focusPolicy() & Qt::TabFocus)))
            stops.insert(w);
    }
    return stops;
}

// Presses Tab until the focus has gone once round the window and lists the
// Tab stops never reached (a control reached through a part of itself, the
// pane through its page, counts).
QStringList UnreachedByTab(QWidget *window)
{
    QSet<QWidget *> visited;
    QWidget *start = QApplication::focusWidget();
    for (int i = 0; i < 3 * TabStops(window).size() + 4; ++i) {
        QWidget *focused = QApplication::focusWidget();
        if (!focused || focused->window() != window)
            break;
        visited.insert(focused);
        QTest::keyClick(focused, Qt::Key_Tab);
        // The web engine passes the focus on asynchronously.
        if (!QTest::qWaitFor([focused] { return QApplication::focusWidget() != focused; }) ||
            QApplication::focusWidget() == start)
            break;
    }
    QStringList missed;
    for (QWidget *w : TabStops(window)) {
        if (std::none_of(visited.cbegin(), visited.cend(),
                         [w](QWidget *v) { return v == w || w->isAncestorOf(v); }))
            missed << Describe(w) + " is never reached by Tab";
    }
    return missed;
}

// Whether a label or button shows less than its whole caption.
bool CutsItsCaption(QWidget *w)
{
    const QFontMetrics metrics(w->font());
    if (auto *label = qobject_cast<QLabel *>(w)) {
        return label->wordWrap()
                   ? label->heightForWidth(label->width()) > label->height()
                   : metrics.horizontalAdvance(label->text()) > label->contentsRect().width();
    }
    auto *button = qobject_cast<QAbstractButton *>(w);
    return button && metrics.horizontalAdvance(button->text().remove('&')) >
                         w->width() - w->style()->pixelMetric(QStyle::PM_ButtonMargin);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

    LocalServer *server_ = nullptr;
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
        return {control<QLineEdit>(u"url"_s, in)->text(), control<QLineEdit>(u"name1"_s, in)->text(),
                control<QLineEdit>(u"mail"_s, in)->text()};
    }
    void fill(const QStringList &texts)
    {
        for (int i = 0; i < 3; ++i)
            control<QLineEdit>(QStringList{"url", "name1", "mail"}[i])->setText(texts.value(i));
    }
    static QStringList stored()
    {
        const SettingsStore s;
        return {s.ReadSetting(keys::kApp, keys::kSection, keys::kUrl, u"-"_s),
                s.ReadSetting(keys::kApp, keys::kSection, keys::kName, u"-"_s),
                s.ReadSetting(keys::kApp, keys::kSection, keys::kMail, u"-"_s)};
    }
    static void store(const QString &key, const QString &value)
    {
        SettingsStore().WriteSetting(keys::kApp, keys::kSection, key, value);
    }
    void showTab(int index)
    {
        QTabBar *bar = control<SSTab>(u"SSTab1"_s)->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QCOMPARE(bar->currentIndex(), index);
    }
    // The request line a browser sends for an engine's address.
    QString request(const QString &button, const SiteDetails &site) const
    {
        const QString address =
            RequestAddress(*EngineForControl(button), site, HostTable::AllAt(server_->host()));
        return u"GET "_s + address.mid(server_->url({}).size()) + u" HTTP/1.1"_s;
    }

    // One of the three windows, opened and active.
    QWidget *open(const QString &which)
    {
        QWidget *window = which == QLatin1String("options dialog") ? Form2::Open(form_)
                          : which == QLatin1String("about box")    ? static_cast<QWidget *>(frmAbout::Open())
                                                                    : form_;
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window))
            qWarning("%s did not become active", qPrintable(which));
        return window;
    }
    static void windowRows()
    {
        QTest::addColumn<QString>("which");
        for (const char *which : {"main window", "options dialog", "about box"})
            QTest::newRow(which) << QString::fromLatin1(which);
    }

private slots:
    void initTestCase()
    {
        msgbox::seam::Enable();
        server_ = new LocalServer;
        form_ = new Form1;
        form_->setHosts(HostTable::AllAt(server_->host()));
        designed_ = form_->size();
        form_->show();
        QVERIFY(QTest::qWaitForWindowActive(form_));
        WebBrowser *pane = control<WebBrowser>(u"WebBrowser1"_s);
        QTRY_VERIFY(pane->engineStarted());
        // The page takes the focus in the pane once the engine shows it.
        QTRY_VERIFY(pane->view()->url() == QUrl(u"about:blank"_s) && pane->view()->focusProxy());
        QCOMPARE(form_->devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR", u"1"_s).toDouble());
    }

    void cleanupTestCase()
    {
        delete form_;
        delete server_;
    }

    void init()
    {
        QDir(Scratch().filePath(u"config"_s)).removeRecursively();
        fill({});
        showTab(0);
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_));
        control(u"url"_s)->setFocus();
        server_->clear();
    }

    void cleanup()
    {
        delete Form2::Instance();
        delete frmAbout::Instance();
        form_->resize(designed_);
        QCOMPARE(ShownTexts(), QStringList());
    }

    void startsOnTheFirstTab_tabGoesTheDesignedWay()
    {
        QCOMPARE(form_->windowTitle(), u"Pagecrier"_s);
        QVERIFY(control(u"Frame1"_s)->isVisible() && !control(u"Frame2"_s)->isVisible());
        QVERIFY(autocomplete::HasAutoComplete(control<QLineEdit>(u"url"_s)));
        QVERIFY(!control<QLineEdit>(u"name1"_s)->completer());
        QVERIFY(!control(u"Image1"_s)->accessibleName().isEmpty()); // the picture is spoken
        // Tabs as wide as their captions ask, not stretched over the strip.
        QTabBar *bar = control<SSTab>(u"SSTab1"_s)->tabBar();
        QVERIFY(bar->tabRect(1).right() < bar->width() / 2);
        // The fields, then the tab strip; the favorites from right to left;
        // the engines from What u Seek back to Google.
        const char *steps[][2] = {
            {"mail", "SSTab1Tabs"}, {"Command9", "Command10"}, {"Command2", "Command1"}};
        for (const auto &[from, to] : steps) {
            showTab(qstrcmp(from, "Command2") == 0);
            control(from)->setFocus();
            QTest::keyClick(control(from), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), to);
        }
    }

    void favorites_data()
    {
        // The fields as typed, the commands (buttons, keys or menu items),
        // the answer queued for a question (0: none), then the messages
        // shown, the favorites stored and the fields afterwards.
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("after");
        const QStringList none = {"-", "-", "-"}, empty = {"", "", ""};
        const QStringList odd = {"http://e.com/a b?x=1&y=[2];#", " Zoë 😀 = [s] ", "me@e.com "};
        const QStringList noUrl = {"", "Ann", "a@b"}, blanks = {"  ", "\t", ""};
        QTest::newRow("Save, Clear All, Ctrl+G")
            << odd << QStringList({"Command11", "Command9", "Ctrl+G"}) << 0 << QStringList{kSaved}
            << odd << odd;
        QTest::newRow("Ctrl+S, no address, No") << noUrl << QStringList{"Ctrl+S"}
                                                << int(msgbox::IDNO) << QStringList{kAsked} << none
                                                << noUrl;
        QTest::newRow("Save, no address, Yes") << noUrl << QStringList{"Command11"}
                                               << int(msgbox::IDYES)
                                               << QStringList({kAsked, kSaved}) << noUrl << noUrl;
        QTest::newRow("menu Save, no address, default answer")
            << noUrl << QStringList{"mnuFileSave"} << 0 << QStringList({kAsked, kSaved}) << noUrl
            << noUrl;
        QTest::newRow("blanks are an address") << blanks << QStringList{"Command11"} << 0
                                               << QStringList{kSaved} << blanks << blanks;
        QTest::newRow("Load with nothing stored")
            << odd << QStringList{"Command10"} << 0 << QStringList() << none << empty;
    }
    void favorites()
    {
        QFETCH(QStringList, typed);
        QFETCH(QStringList, commands);
        QFETCH(int, answer);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, stored);
        QFETCH(QStringList, after);
        fill(typed);
        if (answer)
            msgbox::seam::QueueAnswer(answer);
        for (const QString &command : commands) {
            if (command.startsWith(u"Ctrl+"_s))
                QTest::keyClick(QApplication::focusWidget(), command.back().toLatin1(),
                                Qt::ControlModifier);
            else if (command.startsWith(u"mnu"_s))
                control<QAction>(command)->trigger();
            else
                QTest::mouseClick(control<QPushButton>(command), Qt::LeftButton);
        }
        QCOMPARE(ShownTexts(), shown);
        QCOMPARE(this->stored(), stored);
        QCOMPARE(fields(), after);
    }

    void unwritableStore_reportedNamingTheFile_fieldsKept()
    {
        QVERIFY(QDir().mkpath(Scratch().filePath(u"config"_s)));
        QFile(QFileInfo(SettingsStore::DefaultPath()).path()).open(QIODevice::WriteOnly);
        fill({u"http://typed/"_s});
        QTest::mouseClick(control<QPushButton>(u"Command11"_s), Qt::LeftButton);
        const QStringList shown = ShownTexts(); // the report, and no "saved"
        QVERIFY2(shown.size() == 1 && shown[0].contains(u"Command11_Click"_s) &&
                     shown[0].contains(SettingsStore::DefaultPath()),
                 qPrintable(shown.join('\n')));
        QCOMPARE(fields(), QStringList({"http://typed/", "", ""}));
    }

    void engineButtons_sendTheExactRequest_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<char>("letter"); // its access letter, pressed with Alt; 0: a click
        for (const Engine &e : Catalogue()) {
            const char letter = QString::fromLatin1(e.caption).section('&', 1).at(0).toUpper().toLatin1();
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
        QTRY_COMPARE(server_->requests(), QStringList{request(button, site)});
        QCOMPARE(fields(), QStringList({site.url, site.name1, site.mail}));
    }

    void enterEscapeAndSharedLetters_pressNothing()
    {
        QObject scope;
        QStringList clicked;
        for (QPushButton *b : form_->findChildren<QPushButton *>())
            connect(b, &QPushButton::clicked, &scope, [&clicked, b] { clicked << b->objectName(); });
        for (const QString &field : {u"url"_s, u"name1"_s, u"mail"_s}) {
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(control(field), key);
        }
        // Lycos and Magellan share L: it moves the focus from one to the other.
        showTab(1);
        for (const QString &next : {u"Command2"_s, u"Command15"_s}) {
            QTest::keyClick(form_, 'L', Qt::AltModifier);
            QCOMPARE(QApplication::focusWidget(), control(next));
        }
        QTest::qWait(200);
        QCOMPARE(clicked, QStringList());
        QVERIFY(form_->isVisible());
    }

    void options_takeEffectAtTheNextStart()
    {
        store(keys::kUrl, u"http://fav/"_s);
        control<QAction>(u"mnuToolsOPtions"_s)->trigger();
        Form2 *dialog = Form2::Instance();
        QVERIFY(dialog && QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QList({dialog->Check1->checkState(), dialog->Check2->checkState()}),
                 QList({Qt::Unchecked, Qt::Checked}));
        dialog->Check1->click();
        dialog->Check2->click();
        dialog->Command3->click();
        QCOMPARE(fields(), QStringList({"", "", ""})); // nothing changes in this run
        QVERIFY(autocomplete::HasAutoComplete(control<QLineEdit>(u"url"_s)));
        Form1 next; // the next run
        QCOMPARE(fields(&next), QStringList({"http://fav/", "", ""}));
        QVERIFY(!control<QLineEdit>(u"url"_s, &next)->completer());
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
        QList<QWidget *> parents{window};
        for (int p = 0; p < parents.size(); ++p) {
            QList<QWidget *> children; // the shown controls placed in this one
            for (QWidget *w : parents[p]->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (w->isVisibleTo(window) && !w->objectName().isEmpty() &&
                    !w->objectName().startsWith(QLatin1String("qt_")))
                    children << w;
            }
            parents << children;
            for (QWidget *w : children) {
                // The tab control keeps its top margin below the whole client
                // height, and a label reaches a little under its field.
                if (!parents[p]->rect().contains(w->geometry()) && w->objectName() != "SSTab1")
                    faults << Describe(w) + " sticks out";
                for (QWidget *other : children) {
                    const QString pair = w->objectName() + '+' + other->objectName();
                    if (w < other && w->geometry().intersects(other->geometry()) &&
                        !QStringList({"Label2+url", "url+Label2", "Label5+name1", "name1+Label5"})
                             .contains(pair))
                        faults << Describe(w) + " overlaps " + other->objectName();
                }
                if (CutsItsCaption(w))
                    faults << Describe(w) + " cuts its caption";
            }
        }
        if (window == form_) {
            const auto at = [this](const char *name) {
                return form_->findChild<QWidget *>(QLatin1String(name))->geometry();
            };
            // The fields end where the buttons below them do, both pages
            // stand in one place, and the picture is centred.
            for (const char *field : {"url", "name1", "mail"}) {
                if (at(field).right() != at("Command9").right())
                    faults << QStringLiteral("%1 does not end with Command9").arg(field);
            }
            if (at("Frame1") != at("Frame2"))
                faults << QStringLiteral("the pages differ");
            if (qAbs(at("Image1").center().x() - at("Frame1").width() / 2) > 1)
                faults << QStringLiteral("the picture is off centre");
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
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

    void accessibility_data() { windowRows(); }
    void accessibility()
    {
        QFETCH(QString, which);
        QWidget *window = open(which);
        QStringList faults; // every control that can take the focus has a name
        const QList<QWidget *> widgets = window->findChildren<QWidget *>() << window;
        for (QWidget *w : widgets) {
            QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
            if (w->focusPolicy() != Qt::NoFocus && iface->text(QAccessible::Name).trimmed().isEmpty())
                faults << Describe(w) + " has no name";
        }
        auto *tabs = window->findChild<QTabBar *>();
        for (int page = 0; page < (tabs ? tabs->count() : 1); ++page) {
            if (tabs) { // to the page by keyboard alone: Tab to the tab strip, then Right
                for (int i = 0; i < 40 && QApplication::focusWidget() != tabs; ++i)
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QTest::keyClick(tabs, page ? Qt::Key_Right : Qt::Key_Left);
            } else if (QApplication::focusWidget()->window() != window) {
                window->nextInFocusChain()->setFocus(Qt::TabFocusReason);
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

PAGECRIER_GUI_TEST_MAIN(TestForm1)
#include "tst_form1.moc"
