#pragma once

#include <QRect>
#include <QUrl>

class QWebEngineView;
class QWidget;

// The web engine behind the browser pane lives in a module of its own,
// loaded when the pane first needs it: the engine's libraries are large, and
// the main window shows before they are loaded. This is the module's side of
// the pane, as the program sees it.
class PaneEngine
{
public:
    virtual ~PaneEngine() = default;

    virtual void load(const QUrl &url) = 0;
    // Shows html, a page the program made, in place of the current page.
    // Only this exact page is let through the pane's confinement.
    virtual void showPage(const QString &html) = 0;
    // Places the page (and the pane's progress line) within the pane.
    virtual void setGeometry(const QRect &rect) = 0;
    // The view showing the page, for focus and for tests.
    virtual QWidget *viewWidget() const = 0;
    virtual QWebEngineView *view() const = 0;
};

// Called for every address the pane arrives at.
using VisitedCallback = void (*)(const QUrl &url);

// The module's one entry point: makes the engine's view inside pane.
extern "C" PaneEngine *pagecrier_create_pane_engine(QWidget *pane, VisitedCallback visited);
using CreatePaneEngine = PaneEngine *(*)(QWidget *, VisitedCallback);

// Schemes a page may navigate the pane to: the web, and the blank page.
inline bool IsAllowedPaneUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return true;
    return url == QUrl(QStringLiteral("about:blank"));
}
