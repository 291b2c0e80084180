#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QProgressBar;
class QWebEngineProfile;
class QWebEngineView;

// The browser pane. The program asks it only to navigate and to take a size.
// The web engine behind it starts after the main window has first been
// painted (or when a test asks for it); a navigation asked for before that is
// carried out as soon as the engine is there.
//
// Pages shown here are untrusted remote content, so the pane keeps them
// confined: an off-the-record profile (nothing stored on disk), no new
// windows (a page that opens one loads it in the pane itself), no
// navigation to file: or other local schemes, every permission request
// denied, no access to local files or the clipboard.
class WebBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit WebBrowser(QWidget *parent = nullptr);
    ~WebBrowser() override;

    // Starts navigating to address and returns at once.
    void Navigate(const QString &address);

    // Starts the web engine now if it has not started yet.
    void ensureEngine();
    bool engineStarted() const { return view_ != nullptr; }

    // The view, once the engine has started (tests watch its signals).
    QWebEngineView *view() const { return view_; }

    // Schemes a page may navigate the pane to.
    static bool IsAllowedUrl(const QUrl &url);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void loadPending();
    void keepPageInKeyboardOrder();

    QWebEngineProfile *profile_ = nullptr;
    QWebEngineView *view_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QPointer<QWidget> pageWidget_;
    QUrl pending_;
    bool hasPending_ = false;
};
