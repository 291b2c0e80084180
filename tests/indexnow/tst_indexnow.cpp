#include "addresses.h"
#include "indexnow.h"
#include "sitemap.h"

#include <QtTest>

#include <zlib.h>

using namespace Qt::StringLiterals;
using indexnow::sitemap::File;

namespace {

const QString kName = u"https://a.example/map.xml"_s;

// data as one gzip member, made the way a web server or gzip(1) makes it.
QByteArray Gzip(const QByteArray &data)
{
    z_stream zs = {};
    deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&zs, uLong(data.size()))), '\0');
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    zs.avail_in = uInt(data.size());
    zs.next_out = reinterpret_cast<Bytef *>(out.data());
    zs.avail_out = uInt(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(qsizetype(zs.total_out));
    deflateEnd(&zs);
    return out;
}

} // namespace

// IndexNow's rules, with no network: the key, the page addresses it takes,
// what an answer tells the user; the site-map reader (every format, every
// file it must refuse, dates); which addresses of a site map go out, and the
// body that carries them. (Requests are checked where they are sent.)
class TestIndexNow : public QObject
{
    Q_OBJECT

private slots:
    void keyRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("valid");
        for (const QString &key : {u"AZaz09--"_s, QString(128, 'a')})
            QTest::addRow("%d: %s", int(key.size()), qPrintable(key.left(9))) << key << true;
        for (const QString &key :
             {u"abcdefg"_s, QString(129, 'a'), u"abcd_efgh"_s, u"abcd\u00e9fgh"_s})
            QTest::addRow("%d: %s", int(key.size()), qPrintable(key.left(9))) << key << false;
    }
    void keyRules()
    {
        QFETCH(QString, key);
        QTEST(indexnow::IsValidKey(key), "valid");
    }

    void pageAddresses_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("keyFile"); // empty: refused
        QTest::newRow("no host") << u"http:///page.html"_s << QString();
        QTest::newRow("ftp") << u"ftp://example.com/page"_s << QString();
        QTest::newRow("https") << u"https://e.com/a/b.html?q#f"_s << u"https://e.com/KEY.txt"_s;
        QTest::newRow("port, caps") << u"HTTP://E.com:8080/a b"_s << u"http://e.com:8080/KEY.txt"_s;
    }
    void pageAddresses()
    {
        QFETCH(QString, page);
        QFETCH(QString, keyFile);
        QCOMPARE(indexnow::RefusalFor(page).isEmpty(), !keyFile.isEmpty());
        QCOMPARE(indexnow::KeyFileAddress(page, u"KEY"_s), keyFile);
    }

    // A 403 names the key file, its content and the status; a certificate
    // error says that nothing was sent and what to check.
    void answers_sayWhatToDo()
    {
        HttpReply reply;
        reply.status = 403;
        reply.reason = u"Forbidden"_s;
        const QString page = indexnow::AnswerPage(reply, u"https://a.example/"_s, u"k3y-0123"_s);
        QVERIFY(page.contains(u"<code>k3y-0123.txt</code>"_s) &&
                page.contains(u"<code>k3y-0123</code>"_s) && page.contains(u"403 Forbidden"_s));
        reply = {};
        reply.certificateError = true;
        reply.error = u"self-signed"_s;
        reply.url = QUrl(u"https://api.indexnow.org/indexnow?url=x"_s);
        const QString advice = indexnow::Advice(reply, {}, u"k3y-0123"_s);
        for (const char *part : {"api.indexnow.org", "self-signed", "identity", "Nothing was sent",
                                 "date and time", "proxy"})
            QVERIFY2(advice.contains(QLatin1String(part)) && !advice.contains(u'<'), part);
    }

    void formats_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("locs");         // one a blank
        QTest::addColumn<QString>("firstLastmod"); // UTC, or empty
        const QByteArray urlset =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<urlset xmlns=\"http://www.sitemaps.org/"
            "schemas/sitemap/0.9\" xmlns:i=\"urn:i\"><url><loc> /a?p=1&amp;q=2 </loc><lastmod>"
            "2024-05-01T10:20:30+02:00</lastmod><i:image><i:loc>/i.png</i:loc></i:image></url>"
            "<url><loc>/b</loc><changefreq>daily</changefreq></url></urlset>";
        const QByteArray index = "\xef\xbb\xbf <sitemapindex><sitemap><loc>/1.xml</loc><lastmod>"
                                 "2024-05-01</lastmod></sitemap><sitemap><loc>/2.xml.gz</loc>"
                                 "</sitemap></sitemapindex>";
        const QByteArray text = "\xef\xbb\xbf\r\n  /x \r\n\r\n/\xc3\xa9";
        QTest::newRow("urlset") << urlset << int(File::UrlSet) << u"/a?p=1&q=2 /b"_s
                                << u"2024-05-01T08:20:30Z"_s;
        QTest::newRow("index") << index << int(File::Index) << u"/1.xml /2.xml.gz"_s
                               << u"2024-05-01T00:00:00Z"_s;
        QTest::newRow("text") << text << int(File::Text) << u"/x /\u00e9"_s << QString();
        // Inflated, then read as any file.
        QTest::newRow("text in two gzip members")
            << Gzip(text.left(9)) + Gzip(text.mid(9)) << int(File::Text) << u"/x /\u00e9"_s
            << QString();
    }
    void formats()
    {
        QFETCH(QByteArray, bytes);
        const File file = indexnow::sitemap::Parse(bytes, kName);
        QVERIFY2(file.error.isEmpty(), qPrintable(file.error));
        QTEST(int(file.kind), "kind");
        QStringList locs;
        for (const indexnow::sitemap::Entry &entry : file.entries)
            locs << entry.loc;
        QTEST(locs.join(u' '), "locs");
        QTEST(file.entries.first().lastmod.toString(Qt::ISODate), "firstLastmod");
    }

    void hostile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("cause");
        QTest::newRow("html") << "\n<!DOCTYPE html>\n<html><p>Not found"_ba << u"an HTML page"_s;
        QTest::newRow("xhtml") << "<?xml version='1.0'?><html xmlns='x'/>"_ba << u"an HTML page"_s;
        QTest::newRow("other root") << "<rss><url/></rss>"_ba << u"root element is <rss>"_s;
        QTest::newRow("not well-formed") << "<urlset>\n<url><loc>https://a.example/</url>"_ba
                                         << u"not well-formed XML (line 2"_s;
        QByteArray laughs = "<?xml version=\"1.0\"?>\n<!DOCTYPE urlset [<!ENTITY l0 \"lol\">";
        for (int i = 1; i < 10; ++i)
            laughs += "<!ENTITY l" + QByteArray::number(i) + " \"" +
                      QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
        QTest::newRow("entity bomb") << laughs + "]>\n<urlset><url><loc>&l9;</loc></url></urlset>"
                                     << u"entity-expansion bomb"_s;
        QTest::newRow("gzip bomb")
            << Gzip(QByteArray(60 * 1000 * 1000, '\0')) << u"inflates to more than 50 MB"_s;
        QTest::newRow("damaged gzip") << Gzip("https://a.example/").chopped(6) << u"ends early"_s;
        QTest::newRow("50 MB line") << "https://a.example/"_ba + QByteArray(50000000, 'a')
                                    << u"line 1 is longer than 4,096 bytes"_s;
        QTest::newRow("not UTF-8") << "https://a.example/\n\nhttps://a.example/\xe9t\xe9"_ba
                                   << u"line 3 holds bytes that are not UTF-8"_s;
        QTest::newRow("XML not UTF-8")
            << "<urlset><url><loc>https://a.example/\xe9t\xe9</loc></url></urlset>"_ba
            << u"not UTF-8"_s;
        QTest::newRow("too many") << "https://a.example/\n"_ba.repeated(50001)
                                  << u"more than 50,000 entries"_s;
        QTest::newRow("empty") << "\xef\xbb\xbf \r\n\n"_ba << u"it is empty"_s;
        QTest::newRow("no url") << "<urlset> </urlset>"_ba << u"lists no addresses"_s;
    }
    void hostile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, cause);
        const File file = indexnow::sitemap::Parse(bytes, kName);
        QVERIFY2(file.error.contains(kName) && file.error.contains(cause), qPrintable(file.error));
        QVERIFY(file.entries.isEmpty());
    }

    void dates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("utc"); // empty: not a W3C date-time
        QTest::newRow("year") << u"2024"_s << u"2024-01-01T00:00:00.000Z"_s;
        QTest::newRow("month") << u"2024-05"_s << u"2024-05-01T00:00:00.000Z"_s;
        QTest::newRow("minutes") << u"2024-05-01T10:20Z"_s << u"2024-05-01T10:20:00.000Z"_s;
        QTest::newRow("fraction, offset")
            << u"2024-05-01T10:20:30.123456789+02:00"_s << u"2024-05-01T08:20:30.123Z"_s;
        QTest::newRow("next year in UTC")
            << u"2024-12-31T23:30-01:00"_s << u"2025-01-01T00:30:00.000Z"_s;
        for (const QString &text : {u"2024-13-01"_s, u"2024-02-30"_s, u"2024-05-01T10:20"_s,
                                    u"2024-05-01T25:00Z"_s, u"2024-05-01 10:20Z"_s, u"May 1"_s})
            QTest::newRow(qPrintable(text)) << text << QString();
    }
    void dates()
    {
        QFETCH(QString, text);
        QTEST(indexnow::sitemap::ParseW3cDate(text).toString(Qt::ISODateWithMs), "utc");
    }

    void select_data()
    {
        QTest::addColumn<QStringList>("locs"); // "<address>" or "<address> @ <lastmod>"
        QTest::addColumn<QStringList>("patterns");
        // "<kept> | <reason> <count>: <first, ...>; ... | <excluded> <unchanged>"
        QTest::addColumn<QString>("outcome");
        const QString ok = u"https://a.example/ok"_s;
        auto row = [&](const char *name, const QStringList &bad, const QString &dropped) {
            QTest::newRow(name) << QStringList{ok} + bad << QStringList()
                                << ok + u" | "_s + dropped + u" | 0 0"_s;
        };
        row("not http", {u"javascript:alert(1)"_s, u"file:///etc/passwd"_s, u"FTP://a.example/"_s},
            u"0 3: javascript:alert(1), file:///etc/passwd, FTP://a.example/"_s);
        row("user info", {u"https://u:p@a.example/"_s, u"https://a.example@b.example/"_s},
            u"4 2: https://u:p@a.example/, https://a.example@b.example/"_s);
        QStringList hosts{u"https://b.example/"_s, u"https://www.a.example/"_s,
                          u"http://a.example:8080/"_s, u"https://a.example:80/"_s};
        for (int i = 0; i < 3; ++i)
            hosts << u"https://b.example/%1"_s.arg(i);
        row("other host or port, five shown", hosts, u"1 7: "_s + hosts.mid(0, 5).join(u", "));
        row("duplicate", {u"https://A.example:443/ok"_s}, u"2 1: https://A.example:443/ok"_s);
        row("malformed", {u"/ok"_s, u"https://a.example/a b"_s, u"http:///x"_s},
            u"3 3: /ok, https://a.example/a b, http:///x"_s);
        QTest::newRow("excluded, changed only")
            << QStringList{u"https://a.example/tag/x"_s,
                           u"http://a.example/o @ 2024-05-01T10:00Z"_s,
                           u"https://a.example/n @ 2024-05-01T10:00:01Z"_s, ok}
            << QStringList{u"*/tag/*"_s, u"*/nothing"_s}
            << u"https://a.example/n https://a.example/ok |  | 1 1"_s;
    }
    void select()
    {
        QFETCH(QStringList, locs);
        QList<indexnow::sitemap::Entry> entries;
        for (const QString &loc : locs)
            entries.append({loc.section(u" @ "_s, 0, 0),
                            indexnow::sitemap::ParseW3cDate(loc.section(u" @ "_s, 1))});
        QFETCH(QStringList, patterns);
        const indexnow::Selection selection =
            indexnow::Select(entries, QUrl(u"https://a.example/sitemap.xml"_s), patterns,
                             QDateTime(QDate(2024, 5, 1), QTime(10, 0), Qt::UTC));
        QStringList dropped;
        for (auto it = selection.dropped.cbegin(); it != selection.dropped.cend(); ++it)
            dropped << u"%1 %2: %3"_s.arg(int(it.key())).arg(it->count).arg(it->first.join(u", "));
        const QString counts = u"%1 %2"_s.arg(selection.excluded).arg(selection.unchanged);
        QTEST(QStringList({selection.kept.join(u' '), dropped.join(u"; "), counts}).join(u" | "),
              "outcome");
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");
        QTest::newRow("tag") << u"https://a.example/tag/x"_s << u"*/tag/*"_s << true;
        QTest::newRow("whole") << u"https://a.example/tag/x"_s << u"*/tag/"_s << false;
        QTest::newRow("? is no wildcard") << u"https://a.example/xp=1"_s << u"*/?p=*"_s << false;
        QTest::newRow("letter case") << u"https://a.example/TAG/"_s << u"*/tag/*"_s << false;
        QTest::newRow("backtracking") << u"aXbYbZc"_s << u"a*b**c"_s << true;
        QTest::newRow("long, no match") << QString(20000, u'a') << u"*a*a*a*a*a*a*a*a*b"_s << false;
    }
    void patterns()
    {
        QFETCH(QString, address);
        QFETCH(QString, pattern);
        QTEST(indexnow::MatchesPattern(address, pattern), "matches");
        QCOMPARE(indexnow::PatternLines(u"  */tag/*\r\n\n *?p=* "_s),
                 QStringList({u"*/tag/*"_s, u"*?p=*"_s}));
    }

    void batchBody_isExactJsonAndBatchesAreAtMostTenThousand()
    {
        const QByteArray json = "{\"host\":\"a.example\",\"key\":\"k3y\",\"keyLocation\":"
                                "\"https://a.example/k3y.txt\",\"urlList\":[\"https://a.example/"
                                "?a=1&b=\\\"2\\\"\",\"https://a.example/\xc3\xa9\"]}";
        QCOMPARE(indexnow::BatchBody(
                     u"a.example"_s, u"k3y"_s, u"https://a.example/k3y.txt"_s,
                     {u"https://a.example/?a=1&b=\"2\""_s, u"https://a.example/\u00e9"_s}),
                 json);
        QStringList addresses;
        for (int i = 0; i <= indexnow::kMaxBatch; ++i)
            addresses << QString::number(i);
        const QList<QStringList> batches = indexnow::Batches(addresses);
        QCOMPARE(batches.size(), 2);
        QCOMPARE(batches.at(0).size(), indexnow::kMaxBatch);
        QCOMPARE(batches.at(0) + batches.at(1), addresses);
    }
};

QTEST_APPLESS_MAIN(TestIndexNow)
#include "tst_indexnow.moc"
