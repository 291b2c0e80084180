#include "engines.h"

#include <QtTest>

// The request address of every engine, built from the three site fields.
class TestAddresses : public QObject
{
    Q_OBJECT

private:
    static QString build(const char *control, const SiteDetails &site)
    {
        const Engine *engine = EngineForControl(QLatin1String(control));
        if (!engine)
            qFatal("no engine behind %s", control);
        return RequestAddress(*engine, site, HostTable::AllAt(QStringLiteral("h.test")));
    }

private slots:
    void catalogue_hasTwelveButtonsWithTheirCaptions()
    {
        const QList<Engine> &engines = Catalogue();
        QCOMPARE(engines.size(), 12);
        QStringList controls, captions;
        for (const Engine &e : engines) {
            controls << QLatin1String(e.control);
            captions << QLatin1String(e.caption);
        }
        QCOMPARE(controls, QStringList({"Command1", "Command2", "Command3", "Command4", "Command5",
                                        "Command6", "Command7", "Command8", "Command12",
                                        "Command13", "Command14", "Command15"}));
        QCOMPARE(captions, QStringList({"&Google", "&Lycos", "&Altavista", "&Excite", "&MSN",
                                        "&Hotbot", "&Northern Light", "What u &Seek", "An&zwers",
                                        "&Infomak", "Scr&ub the Web", "Mage&llan"}));
        QVERIFY(!EngineForControl(QStringLiteral("Command9")));
    }

    void defaultHosts_elevenDistinctAndExciteShared()
    {
        const HostTable hosts = HostTable::Default();
        QSet<QString> distinct;
        for (const Engine &e : Catalogue()) {
            const QString host = hosts.host(e.hostKey);
            QVERIFY2(!host.isEmpty(), e.name);
            QVERIFY2(!host.contains(QLatin1Char('/')), e.name);
            distinct.insert(host);
        }
        QCOMPARE(distinct.size(), 11);
        QCOMPARE(hosts.host(EngineForControl(QStringLiteral("Command4"))->hostKey),
                 hosts.host(EngineForControl(QStringLiteral("Command15"))->hostKey));
    }

    void ordinaryTexts_goOutAsTheTemplatesShow_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("expected");
        const QString u = QStringLiteral("http://example.com/page.html");
        const QString m = QStringLiteral("me@example.com");
        const QString n = QStringLiteral("Ann");
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
            << "Command7"
            << h + "/cgi-bin/urlsubmit.pl?page=" + u + "&email=" + m + "&contact=" + n;
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
        QCOMPARE(build(control.toLatin1().constData(), site), expected);
    }

    void emptyFields_areSentEmpty()
    {
        const SiteDetails empty;
        QCOMPARE(build("Command1", empty), QStringLiteral("http://h.test/addurl?q=&dq="));
        QCOMPARE(build("Command7", empty),
                 QStringLiteral("http://h.test/cgi-bin/urlsubmit.pl?page=&email=&contact="));
        QCOMPARE(build("Command14", empty),
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
        for (const Engine &e : Catalogue()) {
            const QString address = RequestAddress(e, {text, text, text}, HostTable::Default());
            const QUrl parsed(address, QUrl::StrictMode);
            QVERIFY2(parsed.isValid(), qPrintable(address));
            QVERIFY2(!parsed.hasFragment(), qPrintable(address));
            QUrlQuery query(parsed);
            for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
                if (value.size() > 0 && key != QLatin1String("Service") &&
                    key != QLatin1String("look") && key != QLatin1String("ad") &&
                    key != QLatin1String("subscribe") && key != QLatin1String("MM") &&
                    key != QLatin1String("output") && key != QLatin1String("submit") &&
                    key != QLatin1String("Submit") && key != QLatin1String("Page"))
                    QCOMPARE(value, text);
            }
        }
    }

    void fixedPieces_areNeverEncoded()
    {
        const QString what =
            build("Command8", {QStringLiteral("u"), QString(), QStringLiteral("m")});
        QVERIFY(what.endsWith(QLatin1String("&submit=Add+This_Url")));
        const QString infomak = build("Command13", {QStringLiteral("u"), QString(), QString()});
        QCOMPARE(infomak, QStringLiteral("http://h.test/add_url.sh?Page=url&url=u"));
    }

    void exciteAndMagellan_differOnlyInService()
    {
        const SiteDetails site{QStringLiteral("u"), QStringLiteral("n"), QStringLiteral("m")};
        QString excite = build("Command4", site);
        const QString magellan = build("Command15", site);
        QCOMPARE(excite.replace(QLatin1String("Service=excite"), QLatin1String("Service=magellan")),
                 magellan);
    }

    void hugeText_isEncodedWhole()
    {
        const QString big(100 * 1024, QLatin1Char('&'));
        const QString address = build("Command2", {big, QString(), QStringLiteral("m")});
        QCOMPARE(address.size(),
                 QStringLiteral("http://h.test/cgi-bin/spider_now.pl?query=").size() +
                     3 * big.size() + QStringLiteral("&email=m").size());
        QVERIFY(address.endsWith(QLatin1String("%26&email=m")));
    }
};

QTEST_APPLESS_MAIN(TestAddresses)
#include "tst_addresses.moc"
