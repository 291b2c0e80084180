// The browser pane keeps the pages it shows confined, and starts its web
// engine only when asked.
#include "failure.h"
#include "local_server.h"
#include "test_support.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QLabel>
#include <QProgressBar>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <optional>
#include <unistd.h>

class TestBrowserPane : public QObject
{
    Q_OBJECT

    LocalServer server_;
    WebBrowser *pane_ = nullptr;

    QWebEngineView *view() const { return pane_->view(); }
    // Runs script in the page and waits for its value.
    QString evaluate(const QString &script)
    {
        auto answer = std::make_shared<std::optional<QString>>();
        view()->page()->runJavaScript(script, [answer](const QVariant &v) { *answer = v.toString(); });
        return QTest::qWaitFor([&] { return answer->has_value(); }) ? **answer : QString();
    }
    void open(const QString &path, const QByteArray &body)
    {
        server_.setPage(path, body);
        pane_->Navigate(server_.url(path));
        QTRY_COMPARE(view()->url().path(), path);
        QTRY_VERIFY(view()->title().startsWith(QLatin1String("page")));
    }

private slots:
    void initTestCase()
    {
        // main() ran PrepareWebEngine(): the sandbox is off only for root.
        QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1", geteuid() == 0);
        pane_ = new WebBrowser;
        pane_->resize(500, 300);
    }

    void cleanupTestCase() { delete pane_; }

    void missingEngineModule_isReported()
    {
        const QString nowhere = QDir::temp().filePath(QStringLiteral("no-such-dir/engine.so"));
        WebBrowser::SetModuleCandidates({nowhere});
        WebBrowser other;
        QVERIFY(!other.ensureEngine());
        WebBrowser::SetModuleCandidates({});
        auto *error = other.findChild<QLabel *>(QStringLiteral("WebBrowser1Error"));
        QVERIFY(error && error->text().contains(nowhere));
        other.show();
        try {
            other.Navigate(server_.url(QStringLiteral("/x")));
            QFAIL("Navigate did not fail");
        } catch (const Failure &failure) {
            QCOMPARE(failure.message(), error->text());
        }
    }

    void navigationBeforeTheWindowShows_waitsForTheEngine()
    {
        pane_->Navigate(server_.url(QStringLiteral("/early")));
        QVERIFY(!pane_->engineStarted());
        pane_->show();
        QVERIFY(pane_->ensureEngine());
        QTRY_COMPARE(server_.requests(), QStringList{QStringLiteral("GET /early HTTP/1.1")});
        QTRY_COMPARE(view()->title(), QStringLiteral("Answer 1"));
    }

    void page_fillsThePane_progressIsAPlainLine()
    {
        pane_->resize(420, 260);
        QTRY_COMPARE(view()->geometry(), pane_->rect());
        auto *progress = pane_->findChild<QProgressBar *>(QStringLiteral("WebBrowser1Progress"));
        QVERIFY(progress && !progress->isTextVisible());
    }

    void settings_confineThePage()
    {
        QVERIFY(view()->page()->profile()->isOffTheRecord());
        QCOMPARE(view()->page()->profile()->persistentCookiesPolicy(),
                 QWebEngineProfile::NoPersistentCookies);
        using S = QWebEngineSettings;
        for (S::WebAttribute off :
             {S::LocalContentCanAccessFileUrls, S::LocalContentCanAccessRemoteUrls,
              S::LocalStorageEnabled, S::JavascriptCanAccessClipboard, S::JavascriptCanPaste,
              S::PluginsEnabled, S::FullScreenSupportEnabled, S::ScreenCaptureEnabled,
              S::AllowWindowActivationFromJavaScript, S::WebGLEnabled, S::PdfViewerEnabled})
            QVERIFY2(!view()->page()->settings()->testAttribute(off), qPrintable(QString::number(off)));
    }

    void newWindow_loadsInThePaneItself()
    {
        open(QStringLiteral("/opener"), LocalServer::titledPage(QStringLiteral("page opener")));
        const int windows = int(QApplication::topLevelWidgets().size());
        evaluate(QStringLiteral("window.open('/popup'); 1"));
        QTRY_COMPARE(view()->url().path(), QStringLiteral("/popup"));
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    }

    void localAddresses_areRefused()
    {
        QSignalSpy urls(view(), &QWebEngineView::urlChanged);
        open(QStringLiteral("/links"), "<title>page links</title><a id=f href='file:///etc/hostname'>f</a>");
        evaluate(QStringLiteral("document.getElementById('f').click(); 1"));
        pane_->Navigate(QStringLiteral("file:///etc/hostname"));
        pane_->Navigate(QStringLiteral("qrc:/icons/pagecrier-32.png"));
        pane_->Navigate(server_.url(QStringLiteral("/after"))); // marks the end
        QTRY_COMPARE(view()->url().path(), QStringLiteral("/after"));
        for (const QList<QVariant> &args : urls)
            QCOMPARE(args.at(0).toUrl().scheme(), QStringLiteral("http"));
        QVERIFY(!WebBrowser::IsAllowedUrl(QUrl(QStringLiteral("view-source:http://e.com/"))));
        QVERIFY(!WebBrowser::IsAllowedUrl(QUrl(QStringLiteral("about:settings"))));
    }

    void permissionsAndStorage_areDenied()
    {
        open(QStringLiteral("/asks"), LocalServer::titledPage(QStringLiteral("page asks")));
        evaluate(QStringLiteral(
            "Notification.requestPermission().then(p => document.title = 'notify:' + p); 1"));
        QTRY_COMPARE(view()->title(), QStringLiteral("notify:denied"));
        evaluate(QStringLiteral("navigator.geolocation.getCurrentPosition(() => document.title "
                                "= 'geo:granted', () => document.title = 'geo:denied'); 1"));
        QTRY_COMPARE(view()->title(), QStringLiteral("geo:denied"));
        QCOMPARE(evaluate(QStringLiteral(
                     "(() => { try { return window.localStorage ? 'storage' : 'none'; } "
                     "catch (e) { return 'none'; } })()")),
                 QStringLiteral("none"));
    }
};

PAGECRIER_GUI_TEST_MAIN(TestBrowserPane)
#include "tst_browser_pane.moc"
