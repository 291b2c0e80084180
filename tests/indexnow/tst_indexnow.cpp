#include "indexnow.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// IndexNow's rules: the key, the page addresses it takes and what an answer
// tells the user. (Requests are checked where they are sent.)
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

    void forbidden_namesTheKeyFileItsContentAndTheStatus()
    {
        HttpReply reply;
        reply.status = 403;
        reply.reason = u"Forbidden"_s;
        const QString page = indexnow::AnswerPage(reply, u"https://a.example/"_s, u"k3y-0123"_s);
        QVERIFY(page.contains(u"<code>k3y-0123.txt</code>"_s) &&
                page.contains(u"<code>k3y-0123</code>"_s) && page.contains(u"403 Forbidden"_s));
    }

    void certificate_saysNothingWasSentAndWhatToCheck()
    {
        HttpReply reply;
        reply.certificateError = true;
        reply.error = u"self-signed"_s;
        reply.url = QUrl(u"https://api.indexnow.org/indexnow?url=x"_s);
        const QString advice = indexnow::Advice(reply, {}, u"k3y-0123"_s);
        for (const char *part : {"api.indexnow.org", "self-signed", "identity", "Nothing was sent",
                                 "date and time", "proxy"})
            QVERIFY2(advice.contains(QLatin1String(part)) && !advice.contains(u'<'), part);
    }
};

QTEST_APPLESS_MAIN(TestIndexNow)
#include "tst_indexnow.moc"
