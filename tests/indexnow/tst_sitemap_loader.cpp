#include "gzip.h"
#include "local_server.h"
#include "sitemap_loader.h"

#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;
using indexnow::SitemapLoader;

// Reading site maps and their indexes through the program's own transport
// from a local server, and from a local file.
class TestSitemapLoader : public QObject
{
    Q_OBJECT

    LocalServer server_;
    QTemporaryDir dir_;

    QString url(const char *path) const { return server_.url(QString::fromLatin1(path)); }

    static QByteArray Index(const QStringList &maps)
    {
        QByteArray xml = "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">";
        for (const QString &map : maps)
            xml += "<sitemap><loc>" + map.toUtf8() + "</loc></sitemap>";
        return xml + "</sitemapindex>";
    }

private slots:
    void initTestCase()
    {
        const QString other = url("/a.xml").replace(u"127.0.0.1"_s, u"localhost"_s);
        server_.setPage(u"/a.xml"_s, "<urlset><url><loc>https://a.example/1</loc></url><url><loc>"
                                     "https://a.example/2</loc></url></urlset>");
        server_.setPage(u"/b.xml.gz"_s, Gzip("https://a.example/3\n"));
        server_.setPage(u"/index.xml"_s, Index({url("/a.xml"), url("/old.xml.gz")}));
        server_.setStatus(u"/old.xml.gz"_s, "301 Moved Permanently"); // within the host: followed
        server_.setHeaders(u"/old.xml.gz"_s, {"Location: /b.xml.gz"});
        server_.setPage(u"/self.xml"_s, Index({url("/self.xml"), other, url("/index.xml"),
                                               url("/a.xml"), url("/a.xml#again")}));
        server_.setStatus(u"/moved.xml"_s, "302 Found");
        server_.setHeaders(u"/moved.xml"_s, {"Location: " + other.toLatin1()});
        server_.setStatus(u"/missing.xml"_s, "404 Not Found");
        server_.setPage(u"/slow.xml"_s, Index({url("/a.xml"), url("/hang.xml")}));
        server_.setStatus(u"/hang.xml"_s, {}); // never answers
        QFile file(dir_.filePath(u"map.txt.gz"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Gzip("https://a.example/4")) > 0);
    }

    void read_data()
    {
        QTest::addColumn<QString>("source");
        // The last parts of the addresses read, then what each problem, the
        // error and a cancel name.
        QTest::addColumn<QString>("expected");
        QTest::newRow("index of two, one gzip, one moved") << url("/index.xml") << u"1 2 3"_s;
        QTest::newRow("index of itself, another host, an index, one twice")
            << url("/self.xml")
            << u"1 2 | is the index itself | on another host | lists it before | an index itself"_s;
        QTest::newRow("redirect to another host")
            << url("/moved.xml") << u" | error: it redirects to http://localhost:"_s;
        QTest::newRow("not found")
            << url("/missing.xml") << u" | error: the server answered 404 Not Found"_s;
        QTest::newRow("cancelled mid-way") << url("/slow.xml") << u" | cancelled"_s;
        QTest::newRow("local file") << dir_.filePath(u"map.txt.gz"_s) << u"4"_s;
    }
    void read()
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
        QStringList outcome{read.join(u' ')};
        outcome += result->problems;
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

QTEST_GUILESS_MAIN(TestSitemapLoader)
#include "tst_sitemap_loader.moc"
