#pragma once

#include <QUrl>
#include <QWidget>

#include <memory>

class PaneEngine;
class QLabel;
class QWebEngineView;

// The browser pane. The program asks it only to navigate and to take a size.
// The web engine behind it is loaded after the main window has first been
// painted (or when a navigation or a test asks for it); a navigation asked
// for before that is carried out as soon as the engine is there.
//
// Pages shown here are untrusted remote content, so the pane keeps them
// confined: an off-the-record profile (nothing stored on disk), no new
// windows (a page that opens one loads it in the pane itself), no
// navigation to file: or other local schemes, every permission request
// denied, no access to local files or the clipboard. The one exception is a
// page the program makes itself (ShowPage).
class WebBrowser : public QWidget
{
    Q_OBJECT
public:
    explicit WebBrowser(QWidget *parent = nullptr);
    ~WebBrowser() override;

    // Starts navigating to address and returns at once. Fails (throws
    // Failure) when the web engine cannot be loaded.
    void Navigate(const QString &address);

    // Shows html, a short page made by the program, in the pane. Fails like
    // Navigate.
    void ShowPage(const QString &html);

    // Loads the web engine now if it is not there yet. Returns false, and
    // shows why inside the pane, when it cannot be loaded.
    bool ensureEngine();
    bool engineStarted() const { return engine_ != nullptr; }

    // The view, once the engine has started (tests watch its signals).
    QWebEngineView *view() const;
    QWidget *viewWidget() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void loadPending();
    PaneEngine &startedEngine();

    std::unique_ptr<PaneEngine> engine_;
    QString loadError_;
    QLabel *errorLabel_ = nullptr;
    QUrl pending_;
    bool hasPending_ = false;
};
