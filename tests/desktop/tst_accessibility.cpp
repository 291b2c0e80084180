// Screen readers and keyboard users: every control that can take the focus
// has a name to speak, and the Tab key reaches every control of the three
// windows.

#include "form1.h"
#include "form2.h"
#include "frmabout.h"
#include "test_env.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QTabBar>
#include <QWebEngineView>
#include <QtTest>

#include <algorithm>

namespace {

// "Form1/Form1Client/SSTab1/Frame1/url (QLineEdit)"
QString Describe(const QWidget *w)
{
    QStringList path;
    for (const QWidget *p = w; p; p = p->parentWidget()) {
        path.prepend(p->objectName().isEmpty() ? QStringLiteral("<%1>").arg(QString::fromLatin1(
                                                     p->metaObject()->className()))
                                               : p->objectName());
        if (p->isWindow())
            break;
    }
    return QStringLiteral("%1 (%2)").arg(path.join(QLatin1Char('/')),
                                         QString::fromLatin1(w->metaObject()->className()));
}

// Every widget of the window that can take the focus, shown or not, whose
// accessible name is empty.
QStringList UnnamedFocusableControls(QWidget *window)
{
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    QStringList unnamed;
    for (QWidget *w : widgets) {
        if (w->focusPolicy() == Qt::NoFocus)
            continue;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        const QString name = iface ? iface->text(QAccessible::Name).trimmed() : QString();
        if (name.isEmpty())
            unnamed << Describe(w);
    }
    return unnamed;
}

// The widgets of window the Tab key should stop at right now: every shown,
// enabled control that can take the focus at all (a control that takes it
// only from the mouse is out of the keyboard's reach, a fault) and does not
// hand it on to a proxy. A label is static text, not a control: it counts
// only when it asks for the Tab key itself (keyboard-reachable links).
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

// Presses Tab on the focused widget and waits for the focus to move (the web
// engine passes it on asynchronously); false when it stays put.
bool PressTab()
{
    QWidget *focused = QApplication::focusWidget();
    QTest::keyClick(focused, Qt::Key_Tab);
    return QTest::qWaitFor([focused] { return QApplication::focusWidget() != focused; }, 5000);
}

// Presses Tab until the focus has gone once round the window (or is stuck)
// and lists the Tab stops it never reached, or an empty list.
QStringList UnreachedByTab(QWidget *window)
{
    QSet<QWidget *> visited;
    const int limit = 3 * int(TabStops(window).size()) + 4;
    QWidget *start = QApplication::focusWidget();
    for (int i = 0; i < limit; ++i) {
        QWidget *focused = QApplication::focusWidget();
        if (!focused || focused->window() != window)
            break;
        visited.insert(focused);
        if (!PressTab() || QApplication::focusWidget() == start)
            break;
    }
    QStringList missed;
    for (QWidget *w : TabStops(window)) {
        // A control that hands the focus on to a part of itself (the
        // browser pane to its page) is reached when that part is.
        const bool reached = std::any_of(visited.cbegin(), visited.cend(),
                                         [w](QWidget *v) { return v == w || w->isAncestorOf(v); });
        if (!reached)
            missed << Describe(w);
    }
    missed.sort();
    return missed;
}

// Gives the focus to the first Tab stop of the window's focus chain when no
// control of the window holds it yet.
void FocusFirstControl(QWidget *window)
{
    if (QApplication::focusWidget() && QApplication::focusWidget()->window() == window)
        return;
    const QSet<QWidget *> stops = TabStops(window);
    for (QWidget *w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if (stops.contains(w)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

// A failure message: the heading, then one control a line.
QString Listed(const char *heading, const QStringList &controls)
{
    return QLatin1String(heading) + QStringLiteral("\n  ") + controls.join(QStringLiteral("\n  "));
}

bool ShowAndActivate(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private:
    QPointer<Form1> form1_;

    QWidget *open(const QString &which)
    {
        if (which == QLatin1String("options dialog"))
            return Form2::Open(form1_);
        if (which == QLatin1String("about box"))
            return frmAbout::Open();
        return form1_;
    }

private slots:
    void init()
    {
        form1_ = new Form1;
        form1_->setAttribute(Qt::WA_DeleteOnClose);
        // The browser pane's own controls exist once its engine shows its
        // first page; start the engine before the first paint would, so no
        // signal is missed.
        auto *pane = form1_->findChild<WebBrowser *>(QStringLiteral("WebBrowser1"));
        QVERIFY(pane);
        pane->ensureEngine();
        QVERIFY(pane->engineStarted());
        QSignalSpy loaded(pane->view(), &QWebEngineView::loadFinished);
        QVERIFY(ShowAndActivate(form1_));
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty() && pane->view()->focusProxy(), 20000);
    }

    void cleanup()
    {
        if (Form2 *options = Form2::Instance())
            options->close();
        if (frmAbout *about = frmAbout::Instance())
            about->close();
        delete form1_.data();
        QTRY_VERIFY(!Form2::Instance() && !frmAbout::Instance());
    }

    void everyFocusableControlHasAName_data()
    {
        QTest::addColumn<QString>("which");
        for (const char *which : {"main window", "options dialog", "about box"})
            QTest::newRow(which) << QString::fromLatin1(which);
    }

    void everyFocusableControlHasAName()
    {
        QFETCH(QString, which);
        QWidget *window = open(which);
        QVERIFY(window);
        const QStringList unnamed = UnnamedFocusableControls(window);
        QVERIFY2(unnamed.isEmpty(), qPrintable(Listed("without an accessible name:", unnamed)));
    }

    void mainWindow_tabReachesEveryControlOnBothTabs()
    {
        auto *tabs = form1_->findChild<QTabBar *>(QStringLiteral("SSTab1Tabs"));
        QVERIFY(tabs);
        QCOMPARE(tabs->currentIndex(), 0);
        QTRY_VERIFY(QApplication::focusWidget() &&
                    QApplication::focusWidget()->window() == form1_.data());
        QStringList missed = UnreachedByTab(form1_);
        QVERIFY2(missed.isEmpty(), qPrintable(Listed("Tab never reaches, first tab:", missed)));

        // To the second tab by keyboard alone: Tab to the tab strip, then Right.
        for (int i = 0; i < 40 && QApplication::focusWidget() != tabs; ++i)
            QVERIFY(PressTab());
        QCOMPARE(QApplication::focusWidget(), tabs);
        QTest::keyClick(tabs, Qt::Key_Right);
        QCOMPARE(tabs->currentIndex(), 1);
        missed = UnreachedByTab(form1_);
        QVERIFY2(missed.isEmpty(), qPrintable(Listed("Tab never reaches, second tab:", missed)));
    }

    void dialog_tabReachesEveryControl_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("options dialog") << "options dialog";
        QTest::newRow("about box") << "about box";
    }

    void dialog_tabReachesEveryControl()
    {
        QFETCH(QString, which);
        QWidget *dialog = open(which);
        QVERIFY(dialog);
        QVERIFY(ShowAndActivate(dialog));
        FocusFirstControl(dialog);
        QVERIFY2(QApplication::focusWidget() && QApplication::focusWidget()->window() == dialog,
                 "no control of the dialog takes the focus");
        const QStringList missed = UnreachedByTab(dialog);
        QVERIFY2(missed.isEmpty(), qPrintable(Listed("Tab never reaches:", missed)));
    }
};

int main(int argc, char *argv[])
{
    const auto userDirs = UseScratchUserDirs();
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagecrier"));
    AccessibilityTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_accessibility.moc"
