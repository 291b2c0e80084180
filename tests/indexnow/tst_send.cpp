#include "batch_sender.h"
#include "key_check.h"
#include "local_server.h"
#include "record.h"
#include "test_support.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace Qt::StringLiterals;
using indexnow::BatchSender;
using K = indexnow::KeyFileCheck;
using Lines = QList<QByteArray>;

// The key-file check and the batch sender, through the program's transport
// against a local server.
class TestSend : public QObject
{
    Q_OBJECT
    LocalServer plain_;
    LocalServer untrusted_{LocalServer::Untrusted}; // for the certificate row

private slots:
    void init() { Scratch(true); }

    void keyFile_data()
    {
        for (const char *column : {"status", "header", "body"})
            QTest::addColumn<QByteArray>(column);
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("says"); // part of the text or warning
        const auto row = [](const char *name, const QByteArray &status, const QByteArray &header,
                            const QByteArray &body, K::Outcome outcome, const QString &says) {
            QTest::newRow(name) << status << header << body << int(outcome) << says;
        };
        const QByteArray text = "Content-Type: text/plain; charset=utf-8", ok = "200 OK";
        const QByteArray html = "Content-Type: text/html", key = "k3y-0123";
        row("key, BOM, CRLF", ok, text, "\xEF\xBB\xBF" + key + "\r\n", K::Passed,
            u"serves the key"_s);
        row("key as HTML", ok, html, key + "\n", K::Passed, u"text/plain"_s);
        row("redirect on the host", "301 Moved", "Location: /real.txt", {}, K::Passed,
            u"text/plain"_s);
        row("redirect elsewhere", "302 Found", "Location: http://localhost:1/k.txt", {},
            K::RedirectElsewhere, u"http://localhost:1/k.txt"_s);
        row("gone", "410 Gone", text, {}, K::NotFound, u"not found"_s);
        row("not-found page, 200", ok, html, "Not here", K::HtmlPage, u"HTML page"_s);
        row("HTML as text", ok, text, "\n <!DOCTYPE html>" + key, K::HtmlPage, u"HTML page"_s);
        row("two line ends", ok, text, key + "\n\n", K::OtherBody, u"\"k3y-0123\\n\\n\""_s);
        row("too long", ok, text, QByteArray(70000, 'k'), K::OtherBody, u"more than 64 KiB"_s);
        row("500", "500 Oops", text, key, K::OtherStatus, u"500 Oops"_s);
        row("never answers", {}, text, {}, K::NoAnswer, u"in time"_s);
        row("certificate", ok, text, key, K::Certificate, u"certificate of https://"_s);
    }
    void keyFile()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, body);
        QFETCH(int, outcome);
        QFETCH(QString, says);
        LocalServer &server = outcome == K::Certificate ? untrusted_ : plain_;
        server.setStatus(u"/k3y-0123.txt"_s, status);
        server.setHeaders(u"/k3y-0123.txt"_s, {header});
        server.setPage(u"/k3y-0123.txt"_s, body);
        server.setPage(u"/real.txt"_s, "k3y-0123");
        const QString address = server.url(u"/k3y-0123.txt"_s);
        std::optional<K> check;
        const auto done = [&](const K &c) { check = c; };
        indexnow::CheckKeyFile(indexnow::SharedHttp(), address, u"k3y-0123"_s, done, 2000);
        QTRY_VERIFY(check);
        QCOMPARE(int(check->outcome), outcome);
        QVERIFY2(check->text.contains(address) && (check->text + check->warning).contains(says),
                 qPrintable(check->text + u" | "_s + check->warning));
        QCOMPARE(check->warning.isEmpty(), says != u"text/plain"_s); // the only warning
    }

    void batches_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<Lines>("statuses");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QString>("twist"); // "cancel" after answer 1, "no record"
        QTest::addColumn<QList<int>>("pauses");
        QTest::addColumn<int>("received");
        QTest::addColumn<int>("retryAtS"); // about this far on (0: none)
        const auto row = [](const char *name, int count, const Lines &statuses,
                            const QByteArray &header, const QString &twist,
                            const QList<int> &pauses, int received, int retryAtS) {
            QTest::newRow(name) << count << statuses << header << twist << pauses << received
                                << retryAtS;
        };
        const Lines ok{"200 OK"}, tooMany{"429 Too Many Requests"};
        row("10,001 in two", 10001, ok, {}, {}, {}, 10001, 0);
        row("429, Retry-After 1, 202", 3, tooMany + Lines{"202 Accepted"}, "Retry-After: 1", {},
            {1000}, 3, 0);
        row("no answer, then 200", 3, {"", "200 OK"}, {}, {}, {10}, 3, 0);
        row("503 four times", 3, {"503 Service Unavailable"}, {}, {}, {10, 20, 40}, 0, 0);
        row("403", 3, {"403 Forbidden"}, {}, {}, {}, 0, 0);
        row("Retry-After 3600", 3, tooMany, "Retry-After: 3600", {}, {}, 0, 3600);
        row("cancelled after batch 1", 10001, ok, {}, u"cancel"_s, {}, 10000, 0);
        row("record unwritable", 3, ok, {}, u"no record"_s, {}, 3, 0);
    }
    void batches()
    {
        QFETCH(int, count);
        QFETCH(Lines, statuses);
        QFETCH(QByteArray, header);
        QFETCH(QString, twist);
        QFETCH(int, retryAtS);
        plain_.clear();
        plain_.setStatuses(u"/indexnow"_s, statuses);
        plain_.setHeaders(u"/indexnow"_s, {header});
        if (twist == u"no record"_s) // a folder where the record's file goes
            QVERIFY(QDir().mkpath(indexnow::Record::DefaultPath()));
        BatchSender::Job job{plain_.url({}), u"e.com"_s, u"k"_s, u"https://e.com/k.txt"_s, {}};
        for (int i = 0; i < count; ++i)
            job.addresses << u"https://e.com/%1"_s.arg(i);
        BatchSender sender(indexnow::SharedHttp());
        sender.setFirstPause(10);
        sender.setTimeout(2000);
        std::optional<BatchSender::Outcome> outcome;
        QList<int> pauses;
        connect(&sender, &BatchSender::answered, this, [&](int n) {
            if (n == 1 && twist == u"cancel"_s)
                sender.cancel();
        });
        connect(&sender, &BatchSender::pausing, this, [&](int ms) { pauses << ms; });
        connect(&sender, &BatchSender::finished, this,
                [&](const BatchSender::Outcome &o) { outcome = o; });
        sender.start(job);
        QTRY_VERIFY_WITH_TIMEOUT(outcome, 20000);

        QTEST(pauses, "pauses");
        QTEST(outcome->received, "received");
        QCOMPARE(outcome->unsent, job.addresses.mid(outcome->received));
        QCOMPARE(outcome->cancelled, twist == u"cancel"_s);
        QCOMPARE(outcome->recordError.isEmpty(), twist != u"no record"_s);
        const auto posts = plain_.requests().size(); // one record entry each
        QCOMPARE(indexnow::Record().Entries().size(), twist == u"no record"_s ? 0 : posts);
        QVERIFY(outcome->retryAt.isValid() == (retryAtS > 0) &&
                qAbs(QDateTime::currentDateTimeUtc().secsTo(outcome->retryAt) - retryAtS) < 60);
        QVERIFY(plain_.requests()[0] == "POST /indexnow HTTP/1.1" &&
                plain_.lastHead.contains("\r\nContent-Type: application/json; charset=utf-8\r\n"));
        const QJsonArray batch1 =
            QJsonArray::fromStringList(job.addresses.first(std::min(count, 10000)));
        QCOMPARE(
            QJsonDocument::fromJson(plain_.bodies()[0]),
            QJsonDocument::fromJson(
                R"({"host": "e.com", "key": "k", "keyLocation": "https://e.com/k.txt", "urlList": )" +
                QJsonDocument(batch1).toJson() + "}"));
        if (count > 10000 && posts == 2) // the second batch: the last address
            QCOMPARE(QJsonDocument::fromJson(plain_.bodies()[1])["urlList"].toArray(),
                     QJsonArray{job.addresses.last()});
    }
};

PAGECRIER_TEST_MAIN(TestSend)
#include "tst_send.moc"
