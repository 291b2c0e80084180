#include "failure.h"
#include "gui_test_main.h"
#include "local_server.h"
#include "webbrowser.h"

#include <QDir>
#include <QLabel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QtTest>

#include <memory>
#include <optional>
#include <unistd.h>

// The browser pane keeps the pages it shows confined.
class TestBrowserPane : public QObject
{
    Q_OBJECT

private:
    LocalServer *server_ = nullptr;
    WebBrowser *pane_ = nullptr;

    QWebEngineView *view() const { return pane_->view(); }

    // Runs script in the page and waits for its value.
    QString evaluate(const QString &script)
    {
        auto answer = std::make_shared<std::optional<QString>>();
        view()->page()->runJavaScript(script,
                                      [answer](const QVariant &v) { *answer = v.toString(); });
        if (!QTest::qWaitFor([&] { return answer->has_value(); }, 10000))
            return QStringLiteral("<no answer>");
        return **answer;
    }

    // Runs script in the page without waiting (for scripts that navigate).
    void run(const QString &script) { view()->page()->runJavaScript(script); }

    void open(const QString &path)
    {
        pane_->Navigate(server_->url(path));
        QTRY_COMPARE(view()->url().path(), path);
        QTRY_VERIFY(!view()->title().isEmpty() &&
                    !view()->title().startsWith(QLatin1String("127")));
    }

private slots:
    void init()
    {
        server_ = new LocalServer;
        pane_ = new WebBrowser;
        pane_->resize(500, 300);
        pane_->show();
        QVERIFY(QTest::qWaitForWindowExposed(pane_));
    }

    void cleanup()
    {
        delete pane_;
        delete server_;
    }

    void sandbox_isTurnedOffOnlyForRoot()
    {
        // main() ran PrepareWebEngine() before the application object.
        QCOMPARE(qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1", geteuid() == 0);
    }

    void missingEngineModule_isReportedAndNothingElseBreaks()
    {
        const QString nowhere = QDir::temp().filePath(QStringLiteral("no-such-dir/engine.so"));
        WebBrowser::SetModuleCandidates({nowhere});
        QVERIFY(!pane_->ensureEngine());
        auto *error = pane_->findChild<QLabel *>(QStringLiteral("WebBrowser1Error"));
        QVERIFY(error && error->isVisible());
        QVERIFY2(error->text().contains(nowhere), qPrintable(error->text()));
        // A navigation asked for now fails with the same message, for the
        // handler that asked to report.
        try {
            pane_->Navigate(server_->url(QStringLiteral("/x")));
            QFAIL("Navigate did not fail");
        } catch (const Failure &failure) {
            QCOMPARE(failure.message(), error->text());
        }
        WebBrowser::SetModuleCandidates({});
        QVERIFY(server_->requests().isEmpty());
    }

    void navigationBeforeTheEngineStarts_isCarriedOutAfterwards()
    {
        // Before its window is up, the pane only remembers the address.
        pane_->hide();
        pane_->Navigate(server_->url(QStringLiteral("/early")));
        QVERIFY(!pane_->engineStarted());
        pane_->ensureEngine();
        QTRY_COMPARE(server_->requests(), QStringList{QStringLiteral("GET /early HTTP/1.1")});
        QTRY_COMPARE(view()->title(), QStringLiteral("Answer 1"));
    }

    void navigationInAShownWindow_startsTheEngineAtOnce()
    {
        QVERIFY(!pane_->engineStarted());
        pane_->Navigate(server_->url(QStringLiteral("/now")));
        QVERIFY(pane_->engineStarted());
        QTRY_COMPARE(server_->requests(), QStringList{QStringLiteral("GET /now HTTP/1.1")});
    }

    void profile_isOffTheRecord()
    {
        pane_->ensureEngine();
        QVERIFY(view()->page()->profile()->isOffTheRecord());
        QCOMPARE(view()->page()->profile()->persistentCookiesPolicy(),
                 QWebEngineProfile::NoPersistentCookies);
    }

    void newWindowRequest_loadsInThePaneItself()
    {
        pane_->ensureEngine();
        server_->setPage(QStringLiteral("/opener"),
                         "<html><head><title>opener</title></head><body>"
                         "<a id=l href='/popup' target='_blank'>x</a></body></html>");
        open(QStringLiteral("/opener"));
        const int windowsBefore = QApplication::topLevelWidgets().size();
        run(QStringLiteral("window.open('/popup')"));
        QTRY_COMPARE(view()->url().path(), QStringLiteral("/popup"));
        QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
        QCOMPARE(pane_->findChildren<QWebEngineView *>().size(), 1);
    }

    void fileAddresses_areRefused()
    {
        pane_->ensureEngine();
        QSignalSpy urls(view(), &QWebEngineView::urlChanged);
        server_->setPage(QStringLiteral("/links"),
                         "<html><head><title>links</title></head><body>"
                         "<a id=f href='file:///etc/hostname'>f</a></body></html>");
        open(QStringLiteral("/links"));
        run(QStringLiteral("document.getElementById('f').click()"));
        run(QStringLiteral("location.href = 'file:///etc/hostname'"));
        // Asked by the program itself.
        pane_->Navigate(QStringLiteral("file:///etc/hostname"));
        pane_->Navigate(QStringLiteral("qrc:/icons/pagecrier-32.png"));
        // A last, allowed navigation marks the end.
        pane_->Navigate(server_->url(QStringLiteral("/after")));
        QTRY_COMPARE(view()->url().path(), QStringLiteral("/after"));
        for (const QList<QVariant> &args : urls) {
            const QUrl u = args.at(0).toUrl();
            QVERIFY2(u.scheme() == QLatin1String("http") || u.scheme() == QLatin1String("about"),
                     qPrintable(u.toString()));
        }
        QVERIFY(WebBrowser::IsAllowedUrl(QUrl(QStringLiteral("https://example.com/"))));
        QVERIFY(!WebBrowser::IsAllowedUrl(QUrl(QStringLiteral("FILE:///etc/passwd"))));
        QVERIFY(!WebBrowser::IsAllowedUrl(QUrl(QStringLiteral("view-source:http://e.com/"))));
        QVERIFY(!WebBrowser::IsAllowedUrl(QUrl(QStringLiteral("about:settings"))));
    }

    void permissionRequests_areDenied()
    {
        pane_->ensureEngine();
        server_->setPage(QStringLiteral("/asks"), LocalServer::titledPage(QStringLiteral("asks")));
        open(QStringLiteral("/asks"));
        evaluate(QStringLiteral(
            "Notification.requestPermission().then(p => document.title = 'notify:' + p); 1"));
        QTRY_COMPARE(view()->title(), QStringLiteral("notify:denied"));
        evaluate(QStringLiteral("navigator.geolocation.getCurrentPosition("
                                "() => document.title = 'geo:granted',"
                                "() => document.title = 'geo:denied'); 1"));
        QTRY_COMPARE(view()->title(), QStringLiteral("geo:denied"));
        evaluate(QStringLiteral("navigator.mediaDevices.getUserMedia({audio: true, video: true})"
                                ".then(() => document.title = 'media:granted',"
                                "      () => document.title = 'media:denied'); 1"));
        QTRY_COMPARE(view()->title(), QStringLiteral("media:denied"));
        QCOMPARE(evaluate(QStringLiteral("(() => { try { return window.localStorage ? 'storage' : "
                                         "'none'; } catch (e) { return 'none'; } })()")),
                 QStringLiteral("none"));
    }
};

PAGECRIER_GUI_TEST_MAIN(TestBrowserPane)
#include "tst_browser_pane.moc"
