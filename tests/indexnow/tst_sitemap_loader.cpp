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
        const QString other = server_.url(u"/a.xml"_s).replace(u"127.0.0.1"_s, u"localhost"_s);
        server_.setPage(u"/a.xml"_s, "<urlset><url><loc>https://a.example/1</loc></url><url><loc>"
                                     "https://a.example/2</loc></url></urlset>");
        server_.setPage(u"/b.xml.gz"_s, Gzip("https://a.example/3\n"));
        server_.setPage(u"/index.xml"_s,
                        Index({server_.url(u"/a.xml"_s), server_.url(u"/old.xml.gz"_s)}));
        server_.setStatus(u"/old.xml.gz"_s, "301 Moved Permanently"); // within the host: followed
        server_.setHeaders(u"/old.xml.gz"_s, {"Location: /b.xml.gz"});
        server_.setPage(u"/self.xml"_s,
                        Index({server_.url(u"/self.xml"_s), other, server_.url(u"/index.xml"_s),
                               server_.url(u"/a.xml"_s), server_.url(u"/a.xml#again"_s)}));
        server_.setStatus(u"/moved.xml"_s, "302 Found");
        server_.setHeaders(u"/moved.xml"_s, {"Location: " + other.toLatin1()});
        server_.setStatus(u"/missing.xml"_s, "404 Not Found");
        server_.setPage(u"/slow.xml"_s,
                        Index({server_.url(u"/a.xml"_s), server_.url(u"/hang.xml"_s)}));
        server_.setStatus(u"/hang.xml"_s, {}); // never answers
        QFile file(dir_.filePath(u"map.txt.gz"_s));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(Gzip("https://a.example/4")) > 0);
    }

    void read_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("cancelAt"); // a progress text, empty: never
        QTest::addColumn<QStringList>("locs");
        QTest::addColumn<QStringList>("problems"); // what each names
        QTest::addColumn<QString>("error");        // what it names, empty: none
        const QStringList ab = {u"https://a.example/1"_s, u"https://a.example/2"_s,
                                u"https://a.example/3"_s};
        QTest::newRow("index of two, one gzip, one moved")
            << server_.url(u"/index.xml"_s) << QString() << ab << QStringList() << QString();
        QTest::newRow("index of itself, another host, an index, one twice")
            << server_.url(u"/self.xml"_s) << QString() << ab.mid(0, 2)
            << QStringList{u"is the index itself"_s, u"on another host"_s, u"lists it before"_s,
                           u"an index itself"_s}
            << QString();
        QTest::newRow("redirect to another host")
            << server_.url(u"/moved.xml"_s) << QString() << QStringList() << QStringList()
            << u"redirects to http://localhost:"_s;
        QTest::newRow("not found") << server_.url(u"/missing.xml"_s) << QString() << QStringList()
                                   << QStringList() << u"answered 404 Not Found"_s;
        QTest::newRow("cancelled mid-way")
            << server_.url(u"/slow.xml"_s) << u"(2 of 2): 2 addresses so far"_s << QStringList()
            << QStringList() << QString();
        QTest::newRow("local file")
            << dir_.filePath(u"map.txt.gz"_s) << QString() << QStringList{u"https://a.example/4"_s}
            << QStringList() << QString();
    }
    void read()
    {
        QFETCH(QString, source);
        QFETCH(QString, cancelAt);
        SitemapLoader loader(indexnow::SharedHttp());
        loader.setTimeout(5000);
        std::optional<SitemapLoader::Result> result;
        connect(&loader, &SitemapLoader::finished, this,
                [&result](const SitemapLoader::Result &r) { result = r; });
        connect(&loader, &SitemapLoader::progress, this, [&](const QString &text) {
            if (!cancelAt.isEmpty() && text.endsWith(cancelAt)) // once the request is out
                QTimer::singleShot(100, &loader, &SitemapLoader::cancel);
        });
        loader.start(source, QUrl(u"https://a.example/page"_s));
        QTRY_VERIFY_WITH_TIMEOUT(result, 10000);
        QStringList locs;
        for (const indexnow::sitemap::Entry &entry : result->entries)
            locs << entry.loc;
        QTEST(locs, "locs");
        QFETCH(QStringList, problems);
        QCOMPARE(result->problems.size(), problems.size());
        for (int i = 0; i < problems.size(); ++i)
            QVERIFY2(result->problems.at(i).contains(problems.at(i)),
                     qPrintable(result->problems.at(i)));
        QFETCH(QString, error);
        QVERIFY2(error.isEmpty() ? result->error.isEmpty() : result->error.contains(error),
                 qPrintable(result->error));
        QCOMPARE(result->cancelled, !cancelAt.isEmpty());
        QCOMPARE(result->site.host(),
                 source.startsWith(u"http"_s) ? u"127.0.0.1"_s : u"a.example"_s);
    }
};

QTEST_GUILESS_MAIN(TestSitemapLoader)
#include "tst_sitemap_loader.moc"
