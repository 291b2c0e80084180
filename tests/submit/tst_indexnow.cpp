#include "engines.h"
#include "indexnow.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// IndexNow's rules: the key, the page addresses taken, what a 403 tells the
// user, and field texts as they go out. (The request line is checked where
// it is sent, in the window's test.)
class TestIndexNow : public QObject
{
    Q_OBJECT

private slots:
    void keyRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("valid");
        for (const QString &key : {u"abcdefgh"_s, QString(128, 'a'), u"AZaz09--"_s})
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

    void madeKeys_are32HexCharactersAndFresh()
    {
        const QString key = indexnow::MakeKey();
        QVERIFY2(QRegularExpression(u"^[0-9a-f]{32}$"_s).match(key).hasMatch(), qPrintable(key));
        QVERIFY(indexnow::MakeKey() != key);
    }

    void pageAddresses_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("keyFile"); // empty: refused
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("relative") << u"example.com/page.html"_s << QString();
        QTest::newRow("no host") << u"http:///page.html"_s << QString();
        QTest::newRow("ftp") << u"ftp://example.com/page"_s << QString();
        QTest::newRow("https") << u"https://example.com/a/b.html?q#f"_s
                               << u"https://example.com/KEY.txt"_s;
        QTest::newRow("port, space, capitals")
            << u"HTTP://Example.com:8080/a b"_s << u"http://example.com:8080/KEY.txt"_s;
    }
    void pageAddresses()
    {
        QFETCH(QString, page);
        QFETCH(QString, keyFile);
        QCOMPARE(indexnow::RefusalFor(page).isEmpty(), !keyFile.isEmpty());
        QCOMPARE(indexnow::KeyFileAddress(page, u"KEY"_s), keyFile);
    }

    void forbidden_namesTheKeyFileAndItsContent()
    {
        const QString page = indexnow::AnswerPage({403, u"Forbidden"_s, false, {}},
                                                  u"https://a.example/"_s, u"k3y-0123"_s);
        QVERIFY(page.contains(u"<code>k3y-0123.txt</code>"_s));
        QVERIFY(page.contains(u"<code>k3y-0123</code>"_s));
    }

    void loneSurrogate_goesOutAsReplacementCharacter()
    {
        QCOMPARE(EncodeField(u"a"_s + QChar(0xD800)), u"a%EF%BF%BD"_s);
        QCOMPARE(EncodeField(QChar(0xDC00) + u"\U0001F600"_s), u"%EF%BF%BD%F0%9F%98%80"_s);
    }
};

QTEST_APPLESS_MAIN(TestIndexNow)
#include "tst_indexnow.moc"
