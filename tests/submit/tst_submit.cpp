#include "engines.h"

#include <QtTest>

using namespace Qt::StringLiterals;

// What is sent: every engine's request address built from the three site
// fields, and field texts as they go out. (The request line is checked where
// it is sent, in the window's test.)
class TestSubmit : public QObject
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
        QVERIFY(!HostTable::Default().host(engine->hostKey).isEmpty());
    }

    // Each field's text reaches the engine as one parameter value, whatever
    // it holds; half of a surrogate pair goes out as U+FFFD.
    void fieldTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("hostile") << u" a&b=c#d+e%25;\"\r\n\t[x]\\<y>{z}|^` "_s
                                 << u"%20a%26b%3Dc%23d%2Be%2525%3B%22%0D%0A%09"
                                    "%5Bx%5D%5C%3Cy%3E%7Bz%7D%7C%5E%60%20"_s;
        QTest::newRow("readable") << u"http://e/?a@!$'()*,-._~"_s << u"http://e/?a@!$'()*,-._~"_s;
        QTest::newRow("non-ASCII, lone halves") << QChar(0xDC00) + u"Zoë😀"_s + QChar(0xD800)
                                                << u"%EF%BF%BDZo%C3%AB%F0%9F%98%80%EF%BF%BD"_s;
    }
    void fieldTexts()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(EncodeField(text), encoded);
        // Where each field goes (one engine takes all three), encoded.
        QCOMPARE(RequestAddress(*EngineForControl("Command7"), {text, text, text},
                                HostTable::AllAt("h")),
                 "http://h/cgi-bin/urlsubmit.pl?page=" + encoded + "&email=" + encoded +
                     "&contact=" + encoded);
    }
};

QTEST_APPLESS_MAIN(TestSubmit)
#include "tst_submit.moc"
