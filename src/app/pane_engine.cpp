// The web engine module of the browser pane (see pane_engine.h).

#include "pane_engine.h"

#include <QPointer>
#include <QProgressBar>
#include <QQuickWindow>
#include <QWebEngineFullScreenRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {

// Pages shown in the pane are untrusted remote content: no new windows, no
// local schemes, every permission denied, no local files, storage or
// clipboard.
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

    // The one page of the program's own that the pane may show besides the
    // web (a data: address, which is refused otherwise).
    void allowOwnPage(const QUrl &url) { ownPage_ = url; }

protected:
    // A page that asks for a new window or tab gets this page: the new
    // content loads in the pane itself.
    QWebEnginePage *createWindow(WebWindowType) override { return this; }

    bool acceptNavigationRequest(const QUrl &url, NavigationType, bool isMainFrame) override
    {
        return IsAllowedPaneUrl(url) || (isMainFrame && !ownPage_.isEmpty() && url == ownPage_);
    }

private:
    QUrl ownPage_;
};

class Engine : public PaneEngine
{
public:
    Engine(QWidget *pane, VisitedCallback visited) : pane_(pane)
    {
        profile_ = new QWebEngineProfile(pane); // no storage name: off the record
        profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);

        view_ = new QWebEngineView(pane);
        view_->setObjectName(QStringLiteral("WebBrowser1View"));
        view_->setAccessibleName(pane->accessibleName());
        page_ = new PanePage(profile_, view_);
        view_->setPage(page_);
        view_->setContextMenuPolicy(Qt::NoContextMenu);
        view_->show();

        // The pane shows its own load progress as a thin line along its foot.
        progress_ = new QProgressBar(pane);
        progress_->setObjectName(QStringLiteral("WebBrowser1Progress"));
        progress_->setRange(0, 100);
        progress_->setTextVisible(false);
        progress_->setAccessibleName(QStringLiteral("Page loading"));
        progress_->hide();
        QProgressBar *progress = progress_;
        QObject::connect(view_, &QWebEngineView::loadStarted, progress, [this, progress] {
            keepPageInKeyboardOrder();
            progress->setValue(0);
            progress->show();
            progress->raise();
        });
        QObject::connect(view_, &QWebEngineView::loadProgress, progress, &QProgressBar::setValue);
        QObject::connect(view_, &QWebEngineView::loadFinished, progress, &QProgressBar::hide);
        QObject::connect(view_, &QWebEngineView::urlChanged, view_,
                         [visited](const QUrl &url) { visited(url); });
    }

    ~Engine() override
    {
        // The page must go before its profile.
        delete view_;
    }

    void load(const QUrl &url) override { view_->load(url); }

    void showPage(const QString &html) override
    {
        const QUrl own(QStringLiteral("data:text/html;charset=utf-8;base64,") +
                       QString::fromLatin1(html.toUtf8().toBase64()));
        page_->allowOwnPage(own);
        view_->load(own);
    }

    void setGeometry(const QRect &rect) override
    {
        view_->setGeometry(rect);
        progress_->setGeometry(rect.left(), rect.bottom() - 3, rect.width(), 4);
    }

    QWidget *viewWidget() const override { return view_; }
    QWebEngineView *view() const override { return view_; }

private:
    // The engine makes the widget that shows the page when it first renders;
    // put it right after the pane in the keyboard order, so Tab and
    // Shift+Tab reach the page where the pane stands, and name it for screen
    // readers.
    void keepPageInKeyboardOrder()
    {
        QWidget *page = view_->focusProxy();
        if (page && page != pageWidget_) {
            pageWidget_ = page;
            page->setAccessibleName(pane_->accessibleName());
            QWidget::setTabOrder(pane_, page);
        }
    }

    QWidget *pane_;
    QWebEngineProfile *profile_ = nullptr;
    QWebEngineView *view_ = nullptr;
    PanePage *page_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QPointer<QWidget> pageWidget_;
};

} // namespace

extern "C" Q_DECL_EXPORT PaneEngine *pagecrier_create_pane_engine(QWidget *pane,
                                                                  VisitedCallback visited)
{
    // The pane draws in software: Chromium without its GPU, Qt Quick's
    // software back end. So no OpenGL is set up, before the first paint or
    // after, no GPU code is within reach of web content, and no driver or Qt
    // shader cache is written.
    static bool started = false;
    if (started)
        return new Engine(pane, visited);
    started = true;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.split(' ').contains("--disable-gpu"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.append(" --disable-gpu").trimmed());
    // As it starts, the engine asks whether OpenGL may be used from several
    // threads; on X11, Qt answers by making an OpenGL context. Told that X11
    // has no OpenGL, it answers without one and keeps that answer for the
    // run. The variable is put back for the programs started later.
    const QByteArray glIntegration = qgetenv("QT_XCB_GL_INTEGRATION");
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    auto *engine = new Engine(pane, visited);
    if (glIntegration.isNull())
        qunsetenv("QT_XCB_GL_INTEGRATION");
    else
        qputenv("QT_XCB_GL_INTEGRATION", glIntegration);
    return engine;
}
