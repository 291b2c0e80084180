#include "webbrowser.h"

#include "autocomplete.h"

#include <QFocusEvent>
#include <QProgressBar>
#include <QResizeEvent>
#include <QWebEngineFullScreenRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

class PanePage : public QWebEnginePage
{
public:
    explicit PanePage(QWebEngineProfile *profile, QObject *parent) : QWebEnginePage(profile, parent)
    {
        connect(this, &QWebEnginePage::featurePermissionRequested, this,
                [this](const QUrl &origin, QWebEnginePage::Feature feature) {
                    setFeaturePermission(origin, feature, PermissionDeniedByUser);
                });
        connect(this, &QWebEnginePage::fullScreenRequested, this,
                [](QWebEngineFullScreenRequest request) { request.reject(); });
        QWebEngineSettings *s = settings();
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
        s->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanAccessClipboard, false);
        s->setAttribute(QWebEngineSettings::JavascriptCanPaste, false);
        s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        s->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
        s->setAttribute(QWebEngineSettings::ScreenCaptureEnabled, false);
        s->setAttribute(QWebEngineSettings::AllowWindowActivationFromJavaScript, false);
        s->setAttribute(QWebEngineSettings::WebGLEnabled, false);
        s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    }

protected:
    // A page that asks for a new window or tab gets this page: the new
    // content loads in the pane itself.
    QWebEnginePage *createWindow(WebWindowType) override { return this; }

    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool) override
    {
        return WebBrowser::IsAllowedUrl(url);
    }
};

} // namespace

WebBrowser::WebBrowser(QWidget *parent) : QWidget(parent)
{
    // The pane holds its place in the keyboard order and hands the focus on
    // to the page inside.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Web page"));
}

WebBrowser::~WebBrowser()
{
    // The page must go before its profile.
    delete view_;
    view_ = nullptr;
}

bool WebBrowser::IsAllowedUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        return true;
    return url == QUrl(QStringLiteral("about:blank"));
}

void WebBrowser::Navigate(const QString &address)
{
    // The text goes to the engine as it is; the engine makes a request of it.
    pending_ = QUrl(address, QUrl::TolerantMode);
    hasPending_ = true;
    // Once the window is up, a navigation does not wait for the first paint.
    if (!view_ && window()->isVisible())
        ensureEngine();
    else if (view_)
        loadPending();
}

void WebBrowser::ensureEngine()
{
    if (view_)
        return;
    profile_ = new QWebEngineProfile(this); // no storage name: off the record
    profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);

    view_ = new QWebEngineView(this);
    view_->setObjectName(QStringLiteral("WebBrowser1View"));
    view_->setAccessibleName(accessibleName());
    view_->setPage(new PanePage(profile_, view_));
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    view_->setGeometry(rect());
    view_->show();

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("WebBrowser1Progress"));
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(4);
    progress_->setAccessibleName(QStringLiteral("Page loading"));
    progress_->hide();
    connect(view_, &QWebEngineView::loadStarted, this, &WebBrowser::keepPageInKeyboardOrder);
    connect(view_, &QWebEngineView::loadStarted, progress_, [this] {
        progress_->setValue(0);
        progress_->show();
        progress_->raise();
    });
    connect(view_, &QWebEngineView::loadProgress, progress_, &QProgressBar::setValue);
    connect(view_, &QWebEngineView::loadFinished, progress_, &QProgressBar::hide);
    connect(view_, &QWebEngineView::urlChanged, this,
            [](const QUrl &url) { autocomplete::NoteAddressVisited(url); });
    resizeEvent(nullptr);

    if (hasPending_)
        loadPending();
}

void WebBrowser::keepPageInKeyboardOrder()
{
    // The engine makes the widget that shows the page when it first renders;
    // put it right after the pane, so Tab and Shift+Tab reach the page where
    // the pane stands.
    QWidget *page = view_->focusProxy();
    if (page && page != pageWidget_) {
        pageWidget_ = page;
        page->setAccessibleName(accessibleName());
        QWidget::setTabOrder(this, page);
    }
}

void WebBrowser::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (view_)
        view_->setFocus(event->reason());
}

void WebBrowser::loadPending()
{
    hasPending_ = false;
    view_->load(pending_);
}

void WebBrowser::resizeEvent(QResizeEvent *event)
{
    if (event)
        QWidget::resizeEvent(event);
    if (view_)
        view_->setGeometry(rect());
    if (progress_)
        progress_->setGeometry(0, height() - 4, width(), 4);
}
