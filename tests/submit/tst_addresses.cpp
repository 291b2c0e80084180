#include "engines.h"

#include <QtTest>

// The request address of every engine, built from the three site fields.
class TestAddresses : public QObject
{
    Q_OBJECT

private slots:
    void engines_sendTheirTemplates_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("expected"); // U, N, M: the three fields
        const char *rows[][2] = {
            {"Command1", "/addurl?q=U&dq="},
            {"Command2", "/cgi-bin/spider_now.pl?query=U&email=M"},
            {"Command3", "/cgi-bin/newurl?ad=1&q=U"},
            {"Command4", "/cgi/add_url_new.cgi?Service=excite&url=U&email=M&look=excite"},
            {"Command5", "/system/msnaddpublic.cfm?msnurl=U&email=M&subscribe=0"},
            {"Command6", "/addurl.asp?newurl=U&MM=1&output=success&email=M"},
            {"Command7", "/cgi-bin/urlsubmit.pl?page=U&email=M&contact=N"},
            {"Command8", "/cgi-bin/addurl.go?url=U&email=M&submit=Add+This_Url"},
            {"Command12", "/cgi-bin/print_addurl.pl?url=U&email=M&Submit=Send"},
            {"Command13", "/add_url.sh?Page=url&url=U"},
            {"Command14", "/cgi-bin/addurl.cgi?Email=M&URL=U"},
            {"Command15", "/cgi/add_url_new.cgi?Service=magellan&url=U&email=M&look=excite"}};
        for (const auto &[control, path] : rows)
            QTest::newRow(control) << control << QStringLiteral("http://h.test") + path;
    }

    void engines_sendTheirTemplates()
    {
        QFETCH(QString, control);
        QFETCH(QString, expected);
        const Engine *engine = EngineForControl(control);
        QVERIFY(engine);
        QCOMPARE(RequestAddress(*engine, {"U", "N", "M"}, HostTable::AllAt("h.test")), expected);
        // The real hosts: eleven, Excite and Magellan sharing one.
        QVERIFY(!HostTable::Default().host(engine->hostKey).isEmpty());
        QCOMPARE(HostTable::Default().keys().size(), 11);
    }

    void hosts_canBeSetOneByOne()
    {
        HostTable hosts = HostTable::Default();
        hosts.setHost("msn", "127.0.0.1:9");
        QCOMPARE(hosts.host("msn"), QStringLiteral("127.0.0.1:9"));
        QVERIFY(!EngineForControl("Command9")); // the favorites buttons send nothing
    }

    void hostileTexts_stayOneParameterEach_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("ampersand") << "a&b=c"
                                   << "a%26b%3Dc";
        QTest::newRow("hash") << "page#top"
                              << "page%23top";
        QTest::newRow("plus and percent") << "a+b%25"
                                          << "a%2Bb%2525";
        QTest::newRow("blanks and quotes") << " x;\"y\" "
                                           << "%20x%3B%22y%22%20";
        QTest::newRow("kept readable") << "http://e.com/p?a@b!$'()*,-._~"
                                       << "http://e.com/p?a@b!$'()*,-._~";
        QTest::newRow("non-ASCII") << QString::fromUtf8("Zoë ✓") << "Zo%C3%AB%20%E2%9C%93";
        QTest::newRow("controls") << "a\r\nb\tc"
                                  << "a%0D%0Ab%09c";
        QTest::newRow("brackets") << "[x]\\<y>{z}|^`"
                                  << "%5Bx%5D%5C%3Cy%3E%7Bz%7D%7C%5E%60";
    }

    void hostileTexts_stayOneParameterEach()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(EncodeField(text), encoded);
        // In every engine's address the text parses back whole where its field goes.
        const QSet<QString> fixed = {"Service", "look",   "ad",     "subscribe", "MM",
                                     "output",  "submit", "Submit", "Page"};
        for (const Engine &e : Catalogue()) {
            const QUrl parsed(RequestAddress(e, {text, text, text}, HostTable::Default()),
                              QUrl::StrictMode);
            QVERIFY(parsed.isValid() && !parsed.hasFragment());
            for (const auto &[key, value] : QUrlQuery(parsed).queryItems(QUrl::FullyDecoded))
                QVERIFY(value.isEmpty() || fixed.contains(key) || value == text);
        }
    }
};

QTEST_APPLESS_MAIN(TestAddresses)
#include "tst_addresses.moc"
