#include "engines.h"

#include <QtTest>

// The request address of every engine, built from the three site fields.
class TestAddresses : public QObject
{
    Q_OBJECT

private:
    static QString build(const QString &control, const SiteDetails &site)
    {
        const Engine *engine = EngineForControl(control);
        if (!engine)
            qFatal("no engine behind %s", qPrintable(control));
        return RequestAddress(*engine, site, HostTable::AllAt(QStringLiteral("h.test")));
    }

private slots:
    void defaultHosts_elevenDistinctAndExciteShared()
    {
        const HostTable hosts = HostTable::Default();
        QSet<QString> distinct;
        for (const Engine &e : Catalogue()) {
            const QString host = hosts.host(e.hostKey);
            QVERIFY2(!host.isEmpty() && !host.contains(QLatin1Char('/')), e.name);
            distinct.insert(host);
        }
        QCOMPARE(distinct.size(), 11);
        QCOMPARE(hosts.host(EngineForControl(QStringLiteral("Command4"))->hostKey),
                 hosts.host(EngineForControl(QStringLiteral("Command15"))->hostKey));
        // The favorites buttons send nothing.
        QVERIFY(!EngineForControl(QStringLiteral("Command9")));
    }

    void ordinaryTexts_goOutAsTheTemplatesShow_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("expected");
        const QString u = QStringLiteral("http://example.com/page.html");
        const QString m = QStringLiteral("me@example.com");
        const QString h = QStringLiteral("http://h.test");
        QTest::newRow("Google") << "Command1" << h + "/addurl?q=" + u + "&dq=";
        QTest::newRow("Lycos") << "Command2"
                               << h + "/cgi-bin/spider_now.pl?query=" + u + "&email=" + m;
        QTest::newRow("Altavista") << "Command3" << h + "/cgi-bin/newurl?ad=1&q=" + u;
        QTest::newRow("Excite") << "Command4"
                                << h + "/cgi/add_url_new.cgi?Service=excite&url=" + u +
                                       "&email=" + m + "&look=excite";
        QTest::newRow("MSN") << "Command5"
                             << h + "/system/msnaddpublic.cfm?msnurl=" + u + "&email=" + m +
                                    "&subscribe=0";
        QTest::newRow("Hotbot") << "Command6"
                                << h + "/addurl.asp?newurl=" + u +
                                       "&MM=1&output=success&email=" + m;
        QTest::newRow("Northern Light")
            << "Command7" << h + "/cgi-bin/urlsubmit.pl?page=" + u + "&email=" + m + "&contact=Ann";
        QTest::newRow("What u Seek")
            << "Command8"
            << h + "/cgi-bin/addurl.go?url=" + u + "&email=" + m + "&submit=Add+This_Url";
        QTest::newRow("Anzwers") << "Command12"
                                 << h + "/cgi-bin/print_addurl.pl?url=" + u + "&email=" + m +
                                        "&Submit=Send";
        QTest::newRow("Infomak") << "Command13" << h + "/add_url.sh?Page=url&url=" + u;
        QTest::newRow("Scrub the Web")
            << "Command14" << h + "/cgi-bin/addurl.cgi?Email=" + m + "&URL=" + u;
        QTest::newRow("Magellan") << "Command15"
                                  << h + "/cgi/add_url_new.cgi?Service=magellan&url=" + u +
                                         "&email=" + m + "&look=excite";
    }

    void ordinaryTexts_goOutAsTheTemplatesShow()
    {
        QFETCH(QString, control);
        QFETCH(QString, expected);
        const SiteDetails site{QStringLiteral("http://example.com/page.html"),
                               QStringLiteral("Ann"), QStringLiteral("me@example.com")};
        QCOMPARE(build(control, site), expected);
    }

    void emptyFields_areSentEmpty()
    {
        const SiteDetails empty;
        QCOMPARE(build(QStringLiteral("Command1"), empty),
                 QStringLiteral("http://h.test/addurl?q=&dq="));
        QCOMPARE(build(QStringLiteral("Command7"), empty),
                 QStringLiteral("http://h.test/cgi-bin/urlsubmit.pl?page=&email=&contact="));
        QCOMPARE(build(QStringLiteral("Command14"), empty),
                 QStringLiteral("http://h.test/cgi-bin/addurl.cgi?Email=&URL="));
    }

    void hostileTexts_stayOneParameterEach_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("ampersand") << "a&b=c"
                                   << "a%26b%3Dc";
        QTest::newRow("hash cuts nothing off") << "page#top"
                                               << "page%23top";
        QTest::newRow("plus") << "a+b"
                              << "a%2Bb";
        QTest::newRow("percent") << "100%25"
                                 << "100%2525";
        QTest::newRow("spaces") << " a b "
                                << "%20a%20b%20";
        QTest::newRow("semicolon and quote") << "x;\"y\""
                                             << "x%3B%22y%22";
        QTest::newRow("kept readable") << "http://e.com/p?a@b!$'()*,-._~"
                                       << "http://e.com/p?a@b!$'()*,-._~";
        QTest::newRow("non-ASCII") << QString::fromUtf8("Zoë ✓") << "Zo%C3%AB%20%E2%9C%93";
        QTest::newRow("control characters") << QStringLiteral("a\r\nb\tc") << "a%0D%0Ab%09c";
        QTest::newRow("brackets and backslash") << "[x]\\<y>{z}|^`"
                                                << "%5Bx%5D%5C%3Cy%3E%7Bz%7D%7C%5E%60";
    }

    void hostileTexts_stayOneParameterEach()
    {
        QFETCH(QString, text);
        QFETCH(QString, encoded);
        QCOMPARE(EncodeField(text), encoded);

        // In every engine's address the text sits whole where its field goes,
        // and the address still parses back to the same parameters.
        const QSet<QString> fixedKeys = {"Service", "look",   "ad",     "subscribe", "MM",
                                         "output",  "submit", "Submit", "Page"};
        for (const Engine &e : Catalogue()) {
            const QString address = RequestAddress(e, {text, text, text}, HostTable::Default());
            const QUrl parsed(address, QUrl::StrictMode);
            QVERIFY2(parsed.isValid() && !parsed.hasFragment(), qPrintable(address));
            for (const auto &[key, value] : QUrlQuery(parsed).queryItems(QUrl::FullyDecoded)) {
                if (!value.isEmpty() && !fixedKeys.contains(key))
                    QCOMPARE(value, text);
            }
        }
    }

    void hugeText_isEncodedWhole()
    {
        const QString big(100 * 1024, QLatin1Char('&'));
        const QString address = build(QStringLiteral("Command2"), {big, QString(), "m"});
        QCOMPARE(address.size(),
                 QStringLiteral("http://h.test/cgi-bin/spider_now.pl?query=").size() +
                     3 * big.size() + QStringLiteral("&email=m").size());
        QVERIFY(address.endsWith(QLatin1String("%26&email=m")));
    }
};

QTEST_APPLESS_MAIN(TestAddresses)
#include "tst_addresses.moc"
