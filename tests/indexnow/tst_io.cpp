#include "endpoints.h"
#include "http.h"
#include "keys.h"
#include "local_server.h"
#include "record.h"
#include "settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

// IndexNow's dealings with the outside: its transport, loaded as the program
// loads it, against local servers (redirects, bounds of size and time,
// certificates, what a POST carries); the user's choice of endpoint; the
// record of submissions.
class TestIo : public QObject
{
    Q_OBJECT

    LocalServer server_;
    LocalServer untrusted_{LocalServer::Untrusted};

    static HttpReply Fetch(const indexnow::HttpRequest &request)
    {
        HttpReply reply;
        reply.status = -1; // until done is called
        indexnow::SharedHttp().send(request, [&reply](const HttpReply &r) { reply = r; });
        (void)QTest::qWaitFor([&reply] { return reply.status != -1; }, 15000);
        return reply;
    }

    static indexnow::RecordEntry Entry(const QString &host, int status, int minute = 0,
                                       const QString &text = u"received"_s)
    {
        const QDateTime time(QDate(2025, 1, 2), QTime(3, minute, 5, 678), Qt::UTC);
        return {time, text, host, 1, text, status, text};
    }
    // A line of the record as the program writes it.
    static QByteArray Line(const QByteArray &host)
    {
        return "2025-01-02T03:04:05.000Z\te\t" + host + "\t1\tf\t0\tno answer\n";
    }
    static void WriteRecord(const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(indexnow::Record::DefaultPath()).path());
        QFile file(indexnow::Record::DefaultPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }

private slots:
    void init() { Scratch(true); }

    void answers_data()
    {
        // /a answers with headers and body; /b with 302 to /c on "one too many".
        QTest::addColumn<QString>("url");
        QTest::addColumn<QList<QByteArray>>("headers");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("maxRedirects");
        QTest::addColumn<qint64>("maxBytes");
        QTest::addColumn<QString>("expected"); // status, where from or refused, what went wrong
        const QString a = server_.url(u"/a"_s),
                      other = QString(a).replace("127.0.0.1", "localhost");
        const QList<QByteArray> toB{"Location: /b"}, deflate{"Content-Encoding: deflate"};
        // Past Qt's own bound on what an answer inflates to (10 MiB).
        const QByteArray bomb = qCompress(QByteArray(11 << 20, 'x')).mid(4);
        const auto row = [](const char *name, const QString &url, const QList<QByteArray> &headers,
                            const QByteArray &body, int redirects, qint64 bytes,
                            const char *expected) {
            QTest::newRow(name) << url << headers << body << redirects << bytes
                                << QString::fromLatin1(expected);
        };
        row("same host followed", a, toB, {}, 1, 1000, "200 /b");
        row("one too many", a, toB, {}, 1, 1000, "302 refused 127.0.0.1/c");
        row("other host refused", a, {"Location: " + other.toLatin1()}, {}, 5, 1000,
            "302 refused localhost/a");
        row("too large", a, {}, QByteArray(1001, 'x'), 0, 1000, "200 /a too large");
        row("bound itself", a, {}, QByteArray(1000, 'x'), 0, 1000, "200 /a");
        row("inflated too large", a, deflate, bomb, 0, 1000, "200 /a too large");
        row("no answer", server_.url(u"/silent"_s), {}, {}, 0, 1000, "0 timed out");
        row("certificate", untrusted_.url(u"/a"_s), {}, {}, 0, 1000, "0 certificate");
    }
    void answers()
    {
        QFETCH(QString, url);
        QFETCH(QList<QByteArray>, headers);
        QFETCH(QByteArray, body);
        QFETCH(int, maxRedirects);
        QFETCH(qint64, maxBytes);
        const QByteArray tag = QTest::currentDataTag();
        server_.setStatus(u"/a"_s,
                          headers.value(0).startsWith("Location") ? "302 Found" : "200 OK");
        server_.setHeaders(u"/a"_s, headers);
        server_.setPage(u"/a"_s, body.isEmpty() ? "a" : body);
        server_.setStatus(u"/b"_s, tag == "one too many" ? "302 Found" : "200 OK");
        server_.setHeaders(u"/b"_s, {"Location: /c"});
        server_.setStatus(u"/silent"_s, {});
        const HttpReply r = Fetch(
            {QUrl(url), "GET", {}, {}, tag == "no answer" ? 300 : 10000, maxBytes, maxRedirects});
        QString got = QString::number(r.status);
        if (!r.redirectRefused.isEmpty())
            got += " refused " + r.redirectRefused.host() + r.redirectRefused.path();
        else if (r.status)
            got += ' ' + r.url.path();
        for (const auto &[flag, name] : {std::pair{r.tooLarge, " too large"},
                                         {r.timedOut, " timed out"},
                                         {r.certificateError, " certificate"}})
            got += flag ? name : "";
        QTEST(got, "expected");
        // An answer cut off, or none, says why and gives no body.
        if (r.tooLarge || r.status == 0)
            QVERIFY(r.body.isEmpty() && !r.error.isEmpty());
    }

    void post_carriesItsBodyExactly_cancelledNeverAnswers()
    {
        server_.setStatus(u"/post"_s, "429 Too Many Requests");
        server_.setHeaders(u"/post"_s, {"Retry-After: 7", "Content-Type: text/plain"});
        indexnow::HttpRequest request{QUrl(server_.url(u"/post"_s)), "POST",
                                      "{\"a\": \"\u00e9\"}\n", "application/json; charset=utf-8"};
        server_.clear();
        const HttpReply r = Fetch(request);
        QCOMPARE(server_.bodies(), QList<QByteArray>{request.body});
        QVERIFY(
            server_.lastHead.contains("\r\nContent-Type: application/json; charset=utf-8\r\n") &&
            server_.lastHead.contains("\r\nUser-Agent: Pagecrier\r\n"));
        QCOMPARE(QStringList({QString::number(r.status), r.retryAfter, r.contentType}),
                 QStringList({u"429"_s, u"7"_s, u"text/plain"_s}));
        request.url = QUrl(server_.url(u"/silent"_s));
        request.timeoutMs = 100;
        bool called = false;
        indexnow::SharedHttp().cancel(
            indexnow::SharedHttp().send(request, [&called](const HttpReply &) { called = true; }));
        QTest::qWait(300);
        QVERIFY(!called);
    }

    void endpointChoice_data()
    {
        QTest::addColumn<QString>("stored"); // "store X": through StoreEndpointId
        QTest::addColumn<QString>("address");
        QTest::newRow("none") << QString() << u"https://api.indexnow.org"_s;
        QTest::newRow("letter case") << u"store YEP"_s << u"https://indexnow.yep.com"_s;
        QTest::newRow("unknown") << u"https://evil.example"_s << u"https://api.indexnow.org"_s;
    }
    void endpointChoice()
    {
        QFETCH(QString, stored);
        if (stored.startsWith(u"store "_s))
            indexnow::StoreEndpointId(stored.mid(6));
        else if (!stored.isNull())
            SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowEndpoint,
                                         stored);
        QTEST(indexnow::EndpointAddress(indexnow::ChosenEndpointId()), "address");
        QVERIFY_THROWS_EXCEPTION(SettingsError, indexnow::StoreEndpointId(u"evil"_s));
        // An address stands for itself, anything else for none.
        QCOMPARE(indexnow::EndpointAddress(u"http://127.0.0.1:8"_s), u"http://127.0.0.1:8"_s);
        QCOMPARE(indexnow::EndpointAddress(u"ftp://e.com"_s) + indexnow::EndpointAddress(u"x"_s),
                 QString());
    }

    void record_anyTextSurvives_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("separators") << u"a\tb\nc\r\\t\\"_s;
        QTest::newRow("markup") << u"<script>x()</script>&amp;"_s;
        QTest::newRow("odd units") << u"\u00e9\U0001F600\0\x01 "_s + QChar(0xd800) + u" end "_s;
    }
    void record_anyTextSurvives()
    {
        QFETCH(QString, text);
        indexnow::Record record;
        record.Append(Entry(u"e.com"_s, 200));
        record.Append(Entry(text, 202, 1, text));
        const QList<indexnow::RecordEntry> got = record.Entries(); // the newest first
        QCOMPARE(got.size(), 2);
        QCOMPARE(QStringList({got[0].endpoint, got[0].host, got[0].first, got[0].meaning}),
                 QStringList({text, text, text, text}));
        QCOMPARE(std::tuple(got[0].time, got[0].count, got[0].status),
                 std::tuple(Entry({}, 0, 1).time, 1, 202));
        QVERIFY(!indexnow::Record::Page(got).contains(u"<script>"_s));
    }

    void record_damagedFileCountsAsEmptyAndIsKeptAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray line = Line("h");
        QTest::newRow("fields") << QByteArray(line).replace("\tno answer", "");
        QTest::newRow("time") << QByteArray(line).replace("2025", "year");
        QTest::newRow("escape") << QByteArray(line).replace("\tf\t", "\tf\\q\t");
        QTest::newRow("not UTF-8") << QByteArray(line).replace("\tf\t", "\t\xff\t");
        QTest::newRow("cut short") << line.chopped(1);
        QTest::newRow("too large") << line.repeated(4 * 1024 * 1024 / line.size() + 1);
    }
    void record_damagedFileCountsAsEmptyAndIsKeptAside()
    {
        QFETCH(QByteArray, bytes);
        WriteRecord(bytes);
        indexnow::Record record;
        QVERIFY(record.Entries().isEmpty());
        record.Append(Entry(u"e.com"_s, 200));
        QCOMPARE(record.Entries().size(), 1);
        const QDir folder = QFileInfo(record.path()).dir();
        QCOMPARE(folder.entryList({u"indexnow-record.tsv.damaged-*"_s}).size(), 1);
    }

    void record_keepsTheNewest1000_lastReceivedOnlyFor200And202OfThatHost()
    {
        QByteArray full;
        for (int i = 0; i < indexnow::Record::kLimit; ++i)
            full += Line("n" + QByteArray::number(i));
        WriteRecord(full);
        indexnow::Record record;
        QVERIFY(!record.LastReceived(u"a"_s).isValid());
        int minute = 0;
        for (const QString &sent : {u"a 200"_s, u"a 202"_s, u"a 403"_s, u"b 200"_s, u"a.org 200"_s})
            record.Append(Entry(sent.section(' ', 0, 0), sent.section(' ', 1).toInt(), ++minute));
        QCOMPARE(record.LastReceived(u"A"_s), Entry({}, 0, 2).time);
        const QList<indexnow::RecordEntry> entries = record.Entries();
        QCOMPARE(entries.size(), indexnow::Record::kLimit);
        QCOMPARE(entries.first().host + ' ' + entries.last().host, u"a.org n5"_s);
    }
};

PAGECRIER_TEST_MAIN(TestIo)
#include "tst_io.moc"
