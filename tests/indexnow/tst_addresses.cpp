#include "addresses.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// Which addresses of a site map go out, and the body that carries them.
class TestAddresses : public QObject
{
    Q_OBJECT

private slots:
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
        QTEST(u"%1 | %2 | %3 %4"_s.arg(selection.kept.join(u' '), dropped.join(u"; "))
                  .arg(selection.excluded)
                  .arg(selection.unchanged),
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

QTEST_APPLESS_MAIN(TestAddresses)
#include "tst_addresses.moc"
