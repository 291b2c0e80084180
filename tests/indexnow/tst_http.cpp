#include "http.h"
#include "local_server.h"

#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

// The program's transport, loaded as the program loads it, against local
// servers: redirects, bounds of size and time, certificates, what a POST
// carries.
class TestHttp : public QObject
{
    Q_OBJECT

    LocalServer server_;
    LocalServer untrusted_{LocalServer::Untrusted};

    // What came of request, or nothing when done was never called.
    static std::optional<HttpReply> Fetch(const indexnow::HttpRequest &request)
    {
        std::optional<HttpReply> reply;
        indexnow::SharedHttp().send(request, [&reply](const HttpReply &r) { reply = r; });
        (void)QTest::qWaitFor([&reply] { return reply.has_value(); }, 15000);
        return reply;
    }

    // "200 at /b", "302 refused localhost/b", "0 timed out", ...
    static QString Describe(const HttpReply &r)
    {
        QString text = QString::number(r.status);
        if (!r.redirectRefused.isEmpty())
            text += " refused " + r.redirectRefused.host() + r.redirectRefused.path();
        else if (r.status)
            text += " at " + r.url.path();
        for (const auto &[flag, name] : {std::pair{r.tooLarge, "too large"},
                                         {r.timedOut, "timed out"},
                                         {r.certificateError, "certificate"}})
            if (flag)
                text += u' ' + QLatin1String(name);
        if ((r.tooLarge || r.status == 0) && (!r.body.isEmpty() || r.error.isEmpty()))
            text += " (body or error wrong)";
        return text;
    }

private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QList<QByteArray>>("headers"); // /a's answer; /b and /c answer 302 to /c
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("maxRedirects");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QString>("expected");
        const QString a = server_.url(u"/a"_s);
        const QByteArray other =
            "Location: " + server_.url(u"/b"_s).replace("127.0.0.1", "localhost").toLatin1();
        const QList<QByteArray> toB{"Location: /b"}, none, deflate{"Content-Encoding: deflate"};
        // Past Qt's own check of what an answer inflates to (10 MiB).
        const QByteArray bomb = qCompress(QByteArray(11 << 20, 'x')).mid(4);
        const auto row = [](const char *name, const QString &url, const QList<QByteArray> &headers,
                            const QByteArray &body, int redirects, qint64 bytes,
                            const char *expected) {
            QTest::newRow(name) << url << headers << body << redirects << bytes
                                << QString::fromLatin1(expected);
        };
        row("same host followed", a, toB, {}, 1, 1000, "200 at /b");
        row("one too many", a, toB, {}, 1, 1000, "302 refused 127.0.0.1/c");
        row("other host refused", a, {other}, {}, 5, 1000, "302 refused localhost/b");
        row("too large", a, none, QByteArray(1001, 'x'), 0, 1000, "200 at /a too large");
        row("bound itself", a, none, QByteArray(1000, 'x'), 0, 1000, "200 at /a");
        row("inflated too large", a, deflate, bomb, 0, 1000, "200 at /a too large");
        row("inflated within the bound", a, deflate, bomb, 0, 12 << 20, "200 at /a");
        row("no answer", server_.url(u"/silent"_s), none, {}, 0, 1000, "0 timed out");
        row("certificate", untrusted_.url(u"/a"_s), none, {}, 0, 1000, "0 certificate");
    }
    void answers()
    {
        QFETCH(QString, url);
        QFETCH(QList<QByteArray>, headers);
        QFETCH(QByteArray, body);
        QFETCH(int, maxRedirects);
        QFETCH(qint64, maxBytes);
        const bool redirect = !headers.isEmpty() && headers[0].startsWith("Location");
        server_.setStatus(u"/a"_s, redirect ? "302 Found" : "200 OK");
        server_.setHeaders(u"/a"_s, headers);
        server_.setPage(u"/a"_s, body.isEmpty() ? "a" : body);
        // "one too many" reaches /c after two.
        const bool twice = QByteArray(QTest::currentDataTag()) == "one too many";
        server_.setStatus(u"/b"_s, twice ? "302 Found" : "200 OK");
        server_.setHeaders(u"/b"_s, {"Location: /c"});
        server_.setStatus(u"/c"_s, "200 OK");
        server_.setStatus(u"/silent"_s, {});
        indexnow::HttpRequest request;
        request.url = QUrl(url);
        request.maxRedirects = maxRedirects;
        request.maxBytes = maxBytes;
        request.timeoutMs = QByteArray(QTest::currentDataTag()) == "no answer" ? 300 : 10000;
        const std::optional<HttpReply> reply = Fetch(request);
        QVERIFY(reply);
        QTEST(Describe(*reply), "expected");
    }

    void post_bodyAndTypeArriveExactly_headersComeBack()
    {
        server_.clear();
        server_.setStatus(u"/indexnow"_s, "429 Too Many Requests");
        server_.setHeaders(u"/indexnow"_s, {"Retry-After: 7", "Content-Type: text/plain"});
        indexnow::HttpRequest request;
        request.url = QUrl(server_.url(u"/indexnow"_s));
        request.method = "POST";
        request.body = "{\"urlList\": [\"https://e.com/\u00e9\"]}\n";
        request.contentType = "application/json; charset=utf-8";
        const std::optional<HttpReply> reply = Fetch(request);
        QVERIFY(reply);
        QCOMPARE(server_.bodies(), QList<QByteArray>{request.body});
        QVERIFY(server_.lastHead.startsWith("POST /indexnow HTTP/1.1\r\n"));
        QVERIFY(server_.lastHead.contains("\r\nContent-Type: application/json; charset=utf-8\r\n"));
        QVERIFY(server_.lastHead.contains("\r\nUser-Agent: Pagecrier\r\n"));
        QCOMPARE(reply->status, 429);
        QCOMPARE(reply->reason, u"Too Many Requests"_s);
        QCOMPARE(reply->retryAfter, u"7"_s);
        QCOMPARE(reply->contentType, u"text/plain"_s);
    }

    void cancelled_neverAnswers()
    {
        server_.setStatus(u"/slow"_s, {});
        bool called = false;
        indexnow::HttpRequest request;
        request.url = QUrl(server_.url(u"/slow"_s));
        request.timeoutMs = 100;
        indexnow::SharedHttp().cancel(
            indexnow::SharedHttp().send(request, [&called](const HttpReply &) { called = true; }));
        QTest::qWait(300);
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestHttp)
#include "tst_http.moc"
