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

// What the site answers for the key file, and the verdict ("says": part of
// its text or warning).
struct Served
{
    QByteArray status, header, body;
    K::Outcome outcome;
    QString says;
};
Q_DECLARE_METATYPE(Served)

// How the endpoint answers a run, and how the run ends. twist: "cancel" after
// the first answer, "cancel in a pause", "no record" (it cannot be written), "untrusted" (https
// with a certificate that cannot be verified).
struct Run
{
    int count; // of addresses
    Lines statuses;
    QByteArray header;
    QString twist;
    QList<int> pauses;
    int posts, received;
    int retryAtS; // about this far on (0: none)
};
Q_DECLARE_METATYPE(Run)

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
        QTest::addColumn<Served>("served");
        const auto row = [](const char *name, const Served &served) {
            QTest::newRow(name) << served;
        };
        const QByteArray text = "Content-Type: text/plain; charset=utf-8", ok = "200 OK";
        const QByteArray html = "Content-Type: text/html", key = "k3y-0123";
        row("key, BOM, CRLF",
            {ok, text, "\xEF\xBB\xBF" + key + "\r\n", K::Passed, u"serves the key"_s});
        row("key as HTML", {ok, html, key + "\n", K::Passed, u"text/plain"_s});
        row("redirect on the host",
            {"301 Moved", "Location: /real.txt", {}, K::Passed, u"text/plain"_s});
        row("redirect elsewhere", {"302 Found",
                                   "Location: http://a.test/k.txt",
                                   {},
                                   K::RedirectElsewhere,
                                   u"another host, http://a.test/k.txt"_s});
        row("gone", {"410 Gone", text, {}, K::NotFound, u"not found"_s});
        row("not-found page, 200", {ok, html, "Not here", K::HtmlPage, u"HTML page"_s});
        row("HTML as text", {ok, text, "\n <!DOCTYPE html>" + key, K::HtmlPage, u"HTML page"_s});
        row("two line ends", {ok, text, key + "\n\n", K::OtherBody, u"\"k3y-0123\\n\\n\""_s});
        row("too long", {ok, text, QByteArray(70000, 'k'), K::OtherBody, u"more than 64 KiB"_s});
        row("500", {"500 Oops", text, key, K::OtherStatus, u"500 Oops"_s});
        row("never answers", {{}, text, {}, K::NoAnswer, u"in time"_s});
        row("certificate", {ok, text, key, K::Certificate, u"certificate of https://"_s});
    }
    void keyFile()
    {
        QFETCH(Served, served);
        LocalServer &server = served.outcome == K::Certificate ? untrusted_ : plain_;
        server.setStatus(u"/k3y-0123.txt"_s, served.status);
        server.setHeaders(u"/k3y-0123.txt"_s, {served.header});
        server.setPage(u"/k3y-0123.txt"_s, served.body);
        server.setPage(u"/real.txt"_s, "k3y-0123");
        const QString address = server.url(u"/k3y-0123.txt"_s);
        std::optional<K> check;
        const auto done = [&](const K &c) { check = c; };
        indexnow::CheckKeyFile(indexnow::SharedHttp(), address, u"k3y-0123"_s, done, 2000);
        QTRY_VERIFY(check);
        QCOMPARE(check->outcome, served.outcome);
        QVERIFY2(check->text.contains(address) &&
                     (check->text + check->warning).contains(served.says),
                 qPrintable(check->text + u" | "_s + check->warning));
        QCOMPARE(check->warning.isEmpty(), served.says != u"text/plain"_s); // the only warning
    }

    void batches_data()
    {
        QTest::addColumn<Run>("run");
        const auto row = [](const char *name, const Run &run) { QTest::newRow(name) << run; };
        const Lines ok{"200 OK"}, tooMany{"429 Too Many Requests"};
        row("10,001 in two", {10001, ok, {}, {}, {}, 2, 10001, 0});
        row("429, Retry-After 1, 202",
            {3, tooMany + Lines{"202 Accepted"}, "Retry-After: 1", {}, {1000}, 2, 3, 0});
        row("no answer, then 200", {3, {"", "200 OK"}, {}, {}, {10}, 2, 3, 0});
        row("503 four times", {3, {"503 Service Unavailable"}, {}, {}, {10, 20, 40}, 4, 0, 0});
        row("403", {3, {"403 Forbidden"}, {}, {}, {}, 1, 0, 0});
        row("Retry-After 3600", {3, tooMany, "Retry-After: 3600", {}, {}, 1, 0, 3600});
        QString date = QDateTime::currentDateTimeUtc().addSecs(7200).toString(Qt::RFC2822Date);
        const QByteArray inTwoHours =
            "Retry-After: " + date.replace(u"+0000"_s, u"GMT"_s).toLatin1();
        row("Retry-After in two hours", {3, tooMany, inTwoHours, {}, {}, 1, 0, 7200});
        row("cancelled after batch 1", {10001, ok, {}, u"cancel"_s, {}, 1, 10000, 0});
        row("cancelled in a pause",
            {3, {"503 Service Unavailable"}, {}, u"cancel in a pause"_s, {10}, 1, 0, 0});
        row("record unwritable", {3, ok, {}, u"no record"_s, {}, 1, 3, 0});
        row("certificate not verified", {3, ok, {}, u"untrusted"_s, {}, 1, 0, 0});
    }
    void batches()
    {
        QFETCH(Run, run);
        plain_.clear();
        plain_.setStatuses(u"/indexnow"_s, run.statuses);
        plain_.setHeaders(u"/indexnow"_s, {run.header});
        if (run.twist == u"no record"_s) // a folder where the record's file goes
            QVERIFY(QDir().mkpath(indexnow::Record::DefaultPath()));
        const bool untrusted = run.twist == u"untrusted"_s;
        BatchSender::Job job{(untrusted ? untrusted_ : plain_).url({}),
                             u"e.com"_s,
                             u"k"_s,
                             u"https://e.com/k.txt"_s,
                             {}};
        for (int i = 0; i < run.count; ++i)
            job.addresses << u"https://e.com/%1"_s.arg(i);
        BatchSender sender(indexnow::SharedHttp());
        sender.setFirstPause(10);
        sender.setTimeout(2000);
        std::optional<BatchSender::Outcome> outcome;
        QList<int> pauses;
        int answers = 0;
        connect(&sender, &BatchSender::answered, this, [&] {
            if (++answers == 1 && run.twist == u"cancel"_s)
                sender.cancel();
        });
        connect(&sender, &BatchSender::pausing, this, [&](int ms) {
            pauses << ms;
            if (run.twist == u"cancel in a pause"_s)
                sender.cancel();
        });
        connect(&sender, &BatchSender::finished, this,
                [&](const BatchSender::Outcome &o) { outcome = o; });
        sender.start(job);
        QTRY_VERIFY_WITH_TIMEOUT(outcome, 20000);

        QCOMPARE(pauses, run.pauses);
        QCOMPARE(outcome->received, run.received);
        QCOMPARE(outcome->unsent, job.addresses.mid(outcome->received));
        QCOMPARE(outcome->cancelled, run.twist.startsWith(u"cancel"_s));
        QCOMPARE(answers, run.posts);
        QCOMPARE(outcome->recordError.isEmpty(), run.twist != u"no record"_s);
        QCOMPARE(indexnow::Record().Entries().size(), run.twist == u"no record"_s ? 0 : answers);
        QVERIFY(outcome->retryAt.isValid() == (run.retryAtS > 0) &&
                qAbs(QDateTime::currentDateTimeUtc().secsTo(outcome->retryAt) - run.retryAtS) < 60);
        QCOMPARE(plain_.requests().size(), untrusted ? 0 : answers);
        if (untrusted)
            return;
        QVERIFY(plain_.requests()[0] == "POST /indexnow HTTP/1.1" &&
                plain_.lastHead.contains("\r\nContent-Type: application/json; charset=utf-8\r\n"));
        const QJsonArray batch1 =
            QJsonArray::fromStringList(job.addresses.first(std::min(run.count, 10000)));
        QCOMPARE(
            QJsonDocument::fromJson(plain_.bodies()[0]),
            QJsonDocument::fromJson(
                R"({"host": "e.com", "key": "k", "keyLocation": "https://e.com/k.txt", "urlList": )" +
                QJsonDocument(batch1).toJson() + "}"));
        if (run.count > 10000 && answers == 2) // the second batch: the last address
            QCOMPARE(QJsonDocument::fromJson(plain_.bodies()[1])["urlList"].toArray(),
                     QJsonArray{job.addresses.last()});
    }
};

PAGECRIER_TEST_MAIN(TestSend)
#include "tst_send.moc"
