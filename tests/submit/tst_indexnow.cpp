#include "indexnow.h"

#include <QtTest>

// IndexNow's rules: the key, and the page addresses taken. (The request
// address is checked where it is sent, in the window's test.)
class TestIndexNow : public QObject
{
    Q_OBJECT

private slots:
    void keyRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("valid");
        QTest::newRow("8, the shortest") << "abcdefgh" << true;
        QTest::newRow("7") << "abcdefg" << false;
        QTest::newRow("128, the longest") << QString(128, QLatin1Char('a')) << true;
        QTest::newRow("129") << QString(129, QLatin1Char('a')) << false;
        QTest::newRow("every kind") << "AZaz09--" << true;
        QTest::newRow("underscore") << "abcd_efgh" << false;
        QTest::newRow("non-ASCII") << QStringLiteral("abcd\u00e9fgh") << false;
    }

    void keyRules()
    {
        QFETCH(QString, key);
        QTEST(indexnow::IsValidKey(key), "valid");
    }

    void madeKeys_are32HexCharactersAndFresh()
    {
        const QString key = indexnow::MakeKey();
        QVERIFY2(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(key).hasMatch(),
                 qPrintable(key));
        QVERIFY(indexnow::MakeKey() != key);
    }

    void pageAddresses_refusedOrGivingTheKeyFile_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("keyFile"); // empty: refused
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("relative") << "example.com/page.html" << QString();
        QTest::newRow("no host") << "http:///page.html" << QString();
        QTest::newRow("ftp") << "ftp://example.com/page" << QString();
        QTest::newRow("https") << "https://example.com/a/b.html?q#f"
                               << "https://example.com/KEY.txt";
        QTest::newRow("port, space, capitals") << "HTTP://Example.com:8080/a b"
                                               << "http://example.com:8080/KEY.txt";
    }

    void pageAddresses_refusedOrGivingTheKeyFile()
    {
        QFETCH(QString, page);
        QFETCH(QString, keyFile);
        QCOMPARE(indexnow::RefusalFor(page).isEmpty(), !keyFile.isEmpty());
        QCOMPARE(indexnow::KeyFileAddress(page, QStringLiteral("KEY")), keyFile);
    }
};

QTEST_APPLESS_MAIN(TestIndexNow)
#include "tst_indexnow.moc"
