#include "addresses.h"
#include "batch_sender.h"
#include "endpoints.h"
#include "key_check.h"
#include "keys.h"
#include "local_server.h"
#include "record.h"
#include "settings_store.h"
#include "sitemap_loader.h"
#include "test_support.h"

#include <optional>

using namespace Qt::StringLiterals;
using indexnow::BatchSender;
using indexnow::SitemapLoader;
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

// How the endpoint answers a run of count addresses, and how the run ends.
// twist: "cancel" after the first answer, "cancel in a pause", "no record"
// (it cannot be written), "untrusted" (https with a certificate that cannot be
// verified).
struct Run
{
    int count;
    Lines statuses;
    QByteArray header;
    QString twist;
    QList<int> pauses;
    int posts, received, retryAtS; // retryAtS: about this far on (0: none)
};
Q_DECLARE_METATYPE(Run)

// IndexNow's dealings with the outside, through the program's transport
// against local servers: the transport itself (redirects, bounds of size and
// time, certificates, what a POST carries), the key-file check, the batch
// sender, the site-map loader (and a local file); the user's choice of
// endpoint and the record of submissions.
class TestIndexNowIo : public QObject
{
    Q_OBJECT

    LocalServer server_;
    LocalServer untrusted_{LocalServer::Untrusted};
    QTemporaryDir dir_;

    QString url(const char *path) const { return server_.url(QString::fromLatin1(path)); }

    static indexnow::RecordEntry Entry(const QString &host, int status, int minute = 0)
    {
        const QDateTime time(QDate(2025, 1, 2), QTime(3, minute, 5, 678), Qt::UTC);
        return {time, u"e"_s, host, 1, u"f"_s, status, u"received"_s};
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
    void initTestCase()
    {
        // The site maps the loader reads (compressed ones are the reader's
        // business: the loader hands it bytes).
        const QString other = url("/a.xml").replace(u"127.0.0.1"_s, u"localhost"_s);
        const auto Index = [](const QStringList &maps) {
            QByteArray xml = "<sitemapindex>";
            for (const QString &map : maps)
                xml += "<sitemap><loc>" + map.toUtf8() + "</loc></sitemap>";
            return xml + "</sitemapindex>";
        };
        server_.setPage(u"/a.xml"_s, "https://a.example/1\nhttps://a.example/2");
        server_.setPage(u"/b.txt"_s, "https://a.example/3\n");
        server_.setPage(u"/index.xml"_s, Index({url("/a.xml"), url("/old.txt")}));
        server_.setStatus(u"/old.txt"_s, "301 Moved Permanently"); // within the host: followed
        server_.setHeaders(u"/old.txt"_s, {"Location: /b.txt"});
        server_.setPage(u"/self.xml"_s, Index({url("/self.xml"), other, url("/index.xml"),
                                               url("/a.xml"), url("/a.xml#again")}));
        server_.setStatus(u"/moved.xml"_s, "302 Found");
        server_.setHeaders(u"/moved.xml"_s, {"Location: " + other.toLatin1()});
        server_.setStatus(u"/missing.xml"_s, "404 Not Found");
        server_.setPage(u"/slow.xml"_s, Index({url("/a.xml"), url("/hang.xml")}));
        for (const QString &path : {u"/hang.xml"_s, u"/silent"_s})
            server_.setStatus(path, {}); // never answers
        QFile file(dir_.filePath(u"map.txt"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("https://a.example/4") > 0);
    }
    void init() { Scratch(true); }

    void answers_data()
    {
        // /a answers with headers and body; /b with 302 to /c on "one too many".
        QTest::addColumn<QString>("url");
        QTest::addColumn<Lines>("headers");
        QTest::addColumn<QByteArray>("body");  // at most 1,000 bytes, one redirect taken
        QTest::addColumn<QString>("expected"); // status, where from or refused, what went wrong
        const QString a = server_.url(u"/a"_s),
                      other = QString(a).replace("127.0.0.1", "localhost");
        const Lines toB{"Location: /b"}, deflate{"Content-Encoding: deflate"};
        // Past Qt's own bound on what an answer inflates to (10 MiB).
        const QByteArray bomb = qCompress(QByteArray(11 << 20, 'x')).mid(4);
        const auto row = [](const char *name, const QString &url, const Lines &headers,
                            const QByteArray &body, const char *expected) {
            QTest::newRow(name) << url << headers << body << QString(expected);
        };
        row("same host followed", a, toB, {}, "200 /b");
        row("one too many", a, toB, {}, "302 refused 127.0.0.1/c");
        row("other host refused", a, {"Location: " + other.toLatin1()}, {},
            "302 refused localhost/a");
        row("too large", a, {}, QByteArray(1001, 'x'), "200 /a too large");
        row("too large in pieces", a, {}, QByteArray(1001, 'x'), "200 /a too large");
        row("bound itself", a, {}, QByteArray(1000, 'x'), "200 /a");
        row("inflated too large", a, deflate, bomb, "200 /a too large");
        row("no answer", url("/silent"), {}, {}, "0 timed out");
        row("certificate", untrusted_.url(u"/a"_s), {}, {}, "0 certificate");
    }
    void answers()
    {
        QFETCH(QString, url);
        QFETCH(Lines, headers);
        QFETCH(QByteArray, body);
        const QByteArray tag = QTest::currentDataTag();
        server_.setStatus(u"/a"_s,
                          headers.value(0).startsWith("Location") ? "302 Found" : "200 OK");
        server_.setHeaders(u"/a"_s, headers);
        server_.setPause(u"/a"_s, tag == "too large in pieces" ? 100 : 0);
        server_.setPage(u"/a"_s, body.isEmpty() ? "a" : body);
        server_.setStatus(u"/b"_s, tag == "one too many" ? "302 Found" : "200 OK");
        server_.setHeaders(u"/b"_s, {"Location: /c"});
        std::optional<HttpReply> reply;
        indexnow::SharedHttp().send(
            {QUrl(url), "GET", {}, {}, tag == "no answer" ? 300 : 10000, 1000, 1},
            [&reply](const HttpReply &r) { reply = r; });
        QTRY_VERIFY(reply);
        const HttpReply &r = *reply;
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

    // (What a POST carries is checked with the batch sender.)
    void cancelled_neverAnswers()
    {
        bool called = false;
        const indexnow::HttpRequest request{QUrl(url("/silent")), "GET", {}, {}, 100};
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

    // Every text field comes back exactly, whatever it holds: separators,
    // markup (shown as text), odd units.
    void record_anyTextSurvives()
    {
        const QString text = u"a\tb\nc\r\\t\\ <script>x()</script>&amp; \u00e9\U0001F600\0\x01 "_s +
                             QChar(0xd800) + u" end "_s;
        indexnow::Record record;
        record.Append(Entry(u"e.com"_s, 200));
        const QDateTime time = Entry({}, 0, 1).time;
        record.Append({time, text, text, 1, text, 202, text});
        const QList<indexnow::RecordEntry> got = record.Entries(); // the newest first
        QCOMPARE(got.size(), 2);
        QCOMPARE(QStringList({got[0].endpoint, got[0].host, got[0].first, got[0].meaning}),
                 QStringList({text, text, text, text}));
        QCOMPARE(std::tuple(got[0].time, got[0].count, got[0].status), std::tuple(time, 1, 202));
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
        QCOMPARE(QFileInfo(record.path()).dir().entryList({u"*.damaged-*"_s}).size(), 1);
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

    void keyFile_data()
    {
        QTest::addColumn<Served>("served");
        const auto row = [](const char *name, const Served &s) { QTest::newRow(name) << s; };
        const QByteArray text = "Content-Type: text/plain; charset=utf-8", ok = "200 OK";
        const QByteArray html = "Content-Type: text/html", key = "k3y-0123";
        row("key, BOM, CRLF",
            {ok, text, "\xEF\xBB\xBF" + key + "\r\n", K::Passed, u"serves the key"_s});
        row("redirect on the host",
            {"301 Moved", "Location: /real.txt", {}, K::Passed, u"text/plain"_s});
        const QByteArray elsewhere = "Location: http://a.test/k";
        row("redirect elsewhere",
            {"302 Found", elsewhere, {}, K::RedirectElsewhere, u"host, http://a.test/k"_s});
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
        LocalServer &server = served.outcome == K::Certificate ? untrusted_ : server_;
        server.setStatus(u"/k3y-0123.txt"_s, served.status);
        server.setHeaders(u"/k3y-0123.txt"_s, {served.header});
        server.setPage(u"/k3y-0123.txt"_s, served.body);
        server.setPage(u"/real.txt"_s, "k3y-0123");
        const QString address = server.url(u"/k3y-0123.txt"_s);
        std::optional<K> check;
        indexnow::CheckKeyFile(
            indexnow::SharedHttp(), address, u"k3y-0123"_s, [&](const K &c) { check = c; }, 2000);
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
        const Lines busy{"503 Service Unavailable"};
        row("10,001 in two", {10001, ok, {}, {}, {}, 2, 10001, 0});
        row("429, Retry-After 1, 202",
            {3, tooMany + Lines{"202 Accepted"}, "Retry-After: 1", {}, {1000}, 2, 3, 0});
        row("no answer, then 200", {3, {"", "200 OK"}, {}, {}, {10}, 2, 3, 0});
        row("503 four times", {3, busy, {}, {}, {10, 20, 40}, 4, 0, 0});
        row("403", {3, {"403 Forbidden"}, {}, {}, {}, 1, 0, 0});
        row("Retry-After 3600", {3, tooMany, "Retry-After: 3600", {}, {}, 1, 0, 3600});
        QString date = QDateTime::currentDateTimeUtc().addSecs(7200).toString(Qt::RFC2822Date);
        const QByteArray inTwoHours =
            "Retry-After: " + date.replace(u"+0000"_s, u"GMT"_s).toLatin1();
        row("Retry-After in two hours", {3, tooMany, inTwoHours, {}, {}, 1, 0, 7200});
        row("cancelled after batch 1", {10001, ok, {}, u"cancel"_s, {}, 1, 10000, 0});
        row("cancelled in a pause", {3, busy, {}, u"cancel in a pause"_s, {10}, 1, 0, 0});
        row("record unwritable", {3, ok, {}, u"no record"_s, {}, 1, 3, 0});
        row("certificate not verified", {3, ok, {}, u"untrusted"_s, {}, 1, 0, 0});
    }
    void batches()
    {
        QFETCH(Run, run);
        server_.clear();
        server_.setStatuses(u"/indexnow"_s, run.statuses);
        server_.setHeaders(u"/indexnow"_s, {run.header});
        if (run.twist == u"no record"_s) // a folder where the record's file goes
            QVERIFY(QDir().mkpath(indexnow::Record::DefaultPath()));
        const bool untrusted = run.twist == u"untrusted"_s;
        QStringList addresses;
        for (int i = 0; i < run.count; ++i)
            addresses << u"https://e.com/%1"_s.arg(i);
        const BatchSender::Job job{(untrusted ? untrusted_ : server_).url({}), u"e.com"_s, u"k"_s,
                                   u"https://e.com/k.txt"_s, addresses};
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

        QCOMPARE(std::tuple(pauses, outcome->received, answers, outcome->cancelled),
                 std::tuple(run.pauses, run.received, run.posts, run.twist.startsWith(u"cancel")));
        QCOMPARE(outcome->unsent, job.addresses.mid(outcome->received));
        QCOMPARE(outcome->recordError.isEmpty(), run.twist != u"no record"_s);
        QCOMPARE(indexnow::Record().Entries().size(), run.twist == u"no record"_s ? 0 : answers);
        QVERIFY(outcome->retryAt.isValid() == (run.retryAtS > 0) &&
                qAbs(QDateTime::currentDateTimeUtc().secsTo(outcome->retryAt) - run.retryAtS) < 60);
        QCOMPARE(server_.requests().size(), untrusted ? 0 : answers);
        if (untrusted)
            return;
        // JSON; the last POST, the last batch sent, as BatchBody makes it
        // (tested there). Every request names the program.
        QVERIFY(
            server_.requests()[0] == "POST /indexnow HTTP/1.1" &&
            server_.lastHead.contains("\r\nContent-Type: application/json; charset=utf-8\r\n") &&
            server_.lastHead.contains("\r\nUser-Agent: Pagecrier\r\n"));
        const QList<QStringList> batches = indexnow::Batches(job.addresses);
        QCOMPARE(server_.bodies().last(),
                 indexnow::BatchBody(job.host, job.key, job.keyLocation,
                                     batches.at(std::min<qsizetype>(answers, batches.size()) - 1)));
    }

    void sitemaps_data()
    {
        QTest::addColumn<QString>("source");
        // The last parts of the addresses read, then what each problem, the
        // error and a cancel name.
        QTest::addColumn<QString>("expected");
        QTest::newRow("index of two, one moved") << url("/index.xml") << u"1 2 3"_s;
        QTest::newRow("index of itself, another host, an index, one twice")
            << url("/self.xml")
            << u"1 2 | is the index itself | on another host | lists it before | an index itself"_s;
        QTest::newRow("redirect to another host")
            << url("/moved.xml") << u" | error: it redirects to http://localhost:"_s;
        QTest::newRow("not found")
            << url("/missing.xml") << u" | error: the server answered 404 Not Found"_s;
        QTest::newRow("cancelled mid-way") << url("/slow.xml") << u" | cancelled"_s;
        QTest::newRow("local file") << dir_.filePath(u"map.txt"_s) << u"4"_s;
    }
    void sitemaps()
    {
        QFETCH(QString, source);
        QFETCH(QString, expected);
        SitemapLoader loader(indexnow::SharedHttp());
        loader.setTimeout(5000);
        std::optional<SitemapLoader::Result> result;
        connect(&loader, &SitemapLoader::finished, this, [&](const auto &r) { result = r; });
        connect(&loader, &SitemapLoader::progress, this, [&](const QString &text) {
            if (expected.endsWith(u"cancelled") && text.contains(u"(2 of 2)")) // request out
                QTimer::singleShot(100, &loader, &SitemapLoader::cancel);
        });
        loader.start(source, QUrl(u"https://a.example/page"_s));
        QTRY_VERIFY_WITH_TIMEOUT(result, 10000);
        QStringList read;
        for (const indexnow::sitemap::Entry &entry : result->entries)
            read << entry.loc.section(u'/', -1);
        QStringList outcome = QStringList{read.join(u' ')} + result->problems;
        if (!result->error.isEmpty())
            outcome << u"error: "_s + result->error.section(u": "_s, 1); // after the name
        if (result->cancelled)
            outcome << u"cancelled"_s;
        const QStringList parts = expected.split(u" | "_s);
        QCOMPARE(outcome.size(), parts.size());
        for (int i = 0; i < parts.size(); ++i)
            QVERIFY2(outcome.at(i).contains(parts.at(i)), qPrintable(outcome.at(i)));
        QCOMPARE(result->site.host(),
                 source.startsWith(u"http"_s) ? u"127.0.0.1"_s : u"a.example"_s);
    }
};

PAGECRIER_TEST_MAIN(TestIndexNowIo)
#include "tst_indexnow_io.moc"
