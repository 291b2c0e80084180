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
        QTest::addColumn<QString>("path"); // U, N, M: the three fields
        const auto row = [](const char *control, const char *path) {
            QTest::newRow(control) << control << path;
        };
        row("Command1", "/addurl?q=U&dq=");
        row("Command2", "/cgi-bin/spider_now.pl?query=U&email=M");
        row("Command3", "/cgi-bin/newurl?ad=1&q=U");
        row("Command4", "/cgi/add_url_new.cgi?Service=excite&url=U&email=M&look=excite");
        row("Command5", "/system/msnaddpublic.cfm?msnurl=U&email=M&subscribe=0");
        row("Command6", "/addurl.asp?newurl=U&MM=1&output=success&email=M");
        row("Command7", "/cgi-bin/urlsubmit.pl?page=U&email=M&contact=N");
        row("Command8", "/cgi-bin/addurl.go?url=U&email=M&submit=Add+This_Url");
        row("Command12", "/cgi-bin/print_addurl.pl?url=U&email=M&Submit=Send");
        row("Command13", "/add_url.sh?Page=url&url=U");
        row("Command14", "/cgi-bin/addurl.cgi?Email=M&URL=U");
        row("Command15", "/cgi/add_url_new.cgi?Service=magellan&url=U&email=M&look=excite");
    }
    void engines_sendTheirTemplates()
    {
        QFETCH(QString, control);
        QFETCH(QString, path);
        const Engine *engine = EngineForControl(control);
        QCOMPARE(RequestAddress(*engine, {"U", "N", "M"}, HostTable::AllAt("h.test")),
                 "http://h.test" + path);
        // The real hosts: eleven, Excite and Magellan sharing one; any can be set.
        HostTable hosts = HostTable::Default();
        QVERIFY(hosts.keys().size() == 11 && !hosts.host(engine->hostKey).isEmpty());
        hosts.setHost(engine->hostKey, "127.0.0.1:9");
        QCOMPARE(hosts.host(engine->hostKey), "127.0.0.1:9");
        QVERIFY(!EngineForControl("Command9")); // the favorites buttons send nothing
    }

    void hostileTexts_stayOneParameterEach_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        const auto row = [](const char *name, const QString &text, const char *encoded) {
            QTest::newRow(name) << text << encoded;
        };
        row("ampersand, equals", "a&b=c", "a%26b%3Dc");
        row("hash", "page#top", "page%23top");
        row("plus and percent", "a+b%25", "a%2Bb%2525");
        row("blanks and quotes", " x;\"y\" ", "%20x%3B%22y%22%20");
        row("kept readable", "http://e.com/p?a@b!$'()*,-._~", "http://e.com/p?a@b!$'()*,-._~");
        row("non-ASCII", "Zoë ✓", "Zo%C3%AB%20%E2%9C%93");
        row("controls", "a\r\nb\tc", "a%0D%0Ab%09c");
        row("brackets", "[x]\\<y>{z}|^`", "%5Bx%5D%5C%3Cy%3E%7Bz%7D%7C%5E%60");
    }
    void hostileTexts_stayOneParameterEach()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(EncodeField(text), encoded);
        // In every engine's address the text parses back whole where its field goes.
        const QStringList fixed = {"Service", "look",   "ad",     "subscribe", "MM",
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
