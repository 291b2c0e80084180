#include "endpoints.h"
#include "keys.h"
#include "settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

// What IndexNow keeps: the user's choice of endpoint and the record of
// submissions.
class TestStored : public QObject
{
    Q_OBJECT

private slots:
    void init() { Scratch(true); }

    void endpointChoice_data()
    {
        QTest::addColumn<QString>("stored"); // null: none
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("address");
        QTest::newRow("none") << QString() << u"indexnow"_s << u"https://api.indexnow.org"_s;
        QTest::newRow("letter case") << u"Yep"_s << u"yep"_s << u"https://indexnow.yep.com"_s;
        QTest::newRow("unknown") << u"https://evil.example"_s << u"indexnow"_s
                                 << u"https://api.indexnow.org"_s;
    }
    void endpointChoice()
    {
        QFETCH(QString, stored);
        if (!stored.isNull())
            SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowEndpoint,
                                         stored);
        QTEST(indexnow::ChosenEndpointId(), "chosen");
        QTEST(indexnow::EndpointAddress(indexnow::ChosenEndpointId()), "address");
    }

    void endpointAddress_storeRefusesUnknownIds()
    {
        QCOMPARE(indexnow::Endpoints().size(), 6);
        for (const indexnow::Endpoint &endpoint : indexnow::Endpoints()) {
            indexnow::StoreEndpointId(QString::fromLatin1(endpoint.id).toUpper());
            QCOMPARE(indexnow::ChosenEndpointId(), QLatin1String(endpoint.id));
            QVERIFY(QUrl(indexnow::EndpointAddress(indexnow::ChosenEndpointId())).scheme() ==
                    u"https"_s);
        }
        QVERIFY_THROWS_EXCEPTION(SettingsError, indexnow::StoreEndpointId(u"nope"_s));
        QCOMPARE(indexnow::EndpointAddress(u"http://127.0.0.1:8/"_s), u"http://127.0.0.1:8/"_s);
        for (const QString &refused : {u"nope"_s, u"ftp://e.com"_s, u"https://"_s, QString()})
            QCOMPARE(indexnow::EndpointAddress(refused), QString());
    }
};

PAGECRIER_TEST_MAIN(TestStored)
#include "tst_stored.moc"
