#include "webbrowser.h"

#include "autocomplete.h"
#include "failure.h"
#include "module.h"
#include "pane_engine.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QOpenGLContext>
#include <QResizeEvent>

// Qt GUI's own, not in its public headers.
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext *context);

namespace {

void NoteVisited(const QUrl &url)
{
    autocomplete::NoteAddressVisited(url);
}

// Qt WebEngine looks for a shared OpenGL context as its libraries load and
// reads that context's format as it starts, even when it draws without
// OpenGL. The pane draws in software (see pane_engine.cpp), so the context it
// gets is never made: no OpenGL is set up, before the first paint or after.
void GiveEngineSharedContext()
{
    if (QOpenGLContext::globalShareContext())
        return;
    qt_gl_set_global_share_context(new QOpenGLContext(qApp));
}

} // namespace

WebBrowser::WebBrowser(QWidget *parent) : QWidget(parent)
{
    // The pane holds its place in the keyboard order and hands the focus on
    // to the page inside.
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Web page"));
}

WebBrowser::~WebBrowser() = default;

bool WebBrowser::ensureEngine()
{
    if (engine_)
        return true;
    if (!loadError_.isEmpty())
        return false;

    GiveEngineSharedContext(); // before the engine's libraries load
    if (auto create = reinterpret_cast<CreatePaneEngine>(ResolveModule(
            ModuleCandidates(QStringLiteral(PAGECRIER_ENGINE_MODULE)),
            "pagecrier_create_pane_engine", QStringLiteral("web engine"), &loadError_)))
        engine_.reset(create(this, &NoteVisited));
    if (!engine_) {
        errorLabel_ = new QLabel(loadError_, this);
        errorLabel_->setObjectName(QStringLiteral("WebBrowser1Error"));
        errorLabel_->setWordWrap(true);
        errorLabel_->setAlignment(Qt::AlignCenter);
        errorLabel_->setGeometry(rect());
        errorLabel_->show();
        return false;
    }
    engine_->setGeometry(rect());
    if (hasPending_)
        loadPending();
    return true;
}

QWebEngineView *WebBrowser::view() const
{
    return engine_ ? engine_->view() : nullptr;
}

QWidget *WebBrowser::viewWidget() const
{
    return engine_ ? engine_->viewWidget() : nullptr;
}

void WebBrowser::Navigate(const QString &address)
{
    // The text goes to the engine as it is; the engine makes a request of it.
    pending_ = QUrl(address, QUrl::TolerantMode);
    hasPending_ = true;
    // Once the window is up, a navigation does not wait for the first paint.
    if (!engine_ && window()->isVisible() && !ensureEngine())
        throw Failure(loadError_);
    if (engine_)
        loadPending();
}

PaneEngine &WebBrowser::startedEngine()
{
    if (!ensureEngine())
        throw Failure(loadError_);
    return *engine_;
}

void WebBrowser::ShowPage(const QString &html)
{
    startedEngine().showPage(html);
}

void WebBrowser::loadPending()
{
    hasPending_ = false;
    engine_->load(pending_);
}

void WebBrowser::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (engine_)
        engine_->setGeometry(rect());
    if (errorLabel_)
        errorLabel_->setGeometry(rect());
}

void WebBrowser::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    if (engine_)
        engine_->viewWidget()->setFocus(event->reason());
}
