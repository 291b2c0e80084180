#include "gzip.h"
#include "sitemap.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using indexnow::sitemap::File;

namespace {

const QString kName = u"https://a.example/map.xml"_s;

} // namespace

// The site map reader: every format, and every file it must refuse.
class TestSitemap : public QObject
{
    Q_OBJECT

private slots:
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
        for (const bool gzip : {false, true}) {
            auto data = [gzip](const QByteArray &bytes) { return gzip ? Gzip(bytes) : bytes; };
            QTest::addRow("urlset%s", gzip ? ".gz" : "")
                << data(urlset) << int(File::UrlSet) << u"/a?p=1&q=2 /b"_s
                << u"2024-05-01T08:20:30Z"_s;
            QTest::addRow("index%s", gzip ? ".gz" : "")
                << data(index) << int(File::Index) << u"/1.xml /2.xml.gz"_s
                << u"2024-05-01T00:00:00Z"_s;
            QTest::addRow("text%s", gzip ? ".gz" : "")
                << data(text) << int(File::Text) << u"/x /\u00e9"_s << QString();
        }
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
};

QTEST_APPLESS_MAIN(TestSitemap)
#include "tst_sitemap.moc"
