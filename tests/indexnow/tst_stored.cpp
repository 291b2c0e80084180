#include "endpoints.h"
#include "keys.h"
#include "record.h"
#include "settings_store.h"
#include "test_support.h"

using namespace Qt::StringLiterals;

// What IndexNow keeps: the user's choice of endpoint and the record of
// submissions.
class TestStored : public QObject
{
    Q_OBJECT

    static indexnow::RecordEntry Entry(const QString &host, int status, int minute,
                                       const QString &first = u"https://e.com/"_s)
    {
        const QDateTime time(QDate(2025, 1, 2), QTime(3, minute, 5, 678), Qt::UTC);
        return {time, u"https://api.indexnow.org"_s, host, 1, first, status, u"received"_s};
    }

    // A line of the record's file as the program writes it, and the file.
    static QByteArray Line(const QByteArray &host)
    {
        return "2025-01-02T03:04:05.000Z\te\t" + host + "\t1\tf\t0\tno answer\n";
    }
    static void WriteRecord(const QByteArray &bytes)
    {
        const QString path = indexnow::Record::DefaultPath();
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
    }

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

    void record_anyTextSurvives_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("separators") << u"a\tb\nc\r\\t\\"_s;
        QTest::newRow("markup") << u"<script>x()</script>&amp;"_s;
        QTest::newRow("odd units") << u"\u00e9\U0001F600\0\x01 "_s + QChar(0xd800) + u" end "_s;
        QTest::newRow("empty") << QString();
    }
    void record_anyTextSurvives()
    {
        QFETCH(QString, text);
        indexnow::Record record;
        indexnow::RecordEntry entry = Entry(text, 202, 1, text);
        entry.endpoint = entry.meaning = text;
        record.Append(Entry(u"e.com"_s, 200, 0));
        record.Append(entry);
        const QList<indexnow::RecordEntry> entries = record.Entries();
        QCOMPARE(entries.size(), 2);
        const indexnow::RecordEntry &got = entries[0]; // the newest first
        QCOMPARE(got.time, entry.time);
        QCOMPARE(QStringList({got.endpoint, got.host, got.first, got.meaning}),
                 QStringList({text, text, text, text}));
        QCOMPARE(std::pair(got.count, got.status), std::pair(1, 202));
        QVERIFY(!indexnow::Record::Page(entries).contains(u"<script>"_s));
    }

    void record_damagedFileCountsAsEmptyAndIsKeptAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray line = Line("h");
        QTest::newRow("fields") << QByteArray(line).replace("\tno answer", "");
        QTest::newRow("time") << QByteArray(line).replace("2025", "year");
        QTest::newRow("escape") << QByteArray(line).replace("\tf\t", "\tf\\q\t");
        QTest::newRow("not UTF-8") << QByteArray(line).replace("\tf\t", "\t\xff\t");
        QTest::newRow("cut short") << line.chopped(1);
        QTest::newRow("too large") << line.repeated(4 * 1024 * 1024 / line.size() + 1);
    }
    void record_damagedFileCountsAsEmptyAndIsKeptAside()
    {
        QFETCH(QByteArray, bytes);
        indexnow::Record record;
        WriteRecord(bytes);
        QVERIFY(record.Entries().isEmpty());
        record.Append(Entry(u"e.com"_s, 200, 0));
        QCOMPARE(record.Entries().size(), 1);
        const QStringList kept =
            QDir(QFileInfo(record.path()).path()).entryList({u"indexnow-record.tsv.damaged-*"_s});
        QCOMPARE(kept.size(), 1);
    }

    void record_keepsTheNewest1000_lastReceivedOnlyFor200And202OfThatHost()
    {
        indexnow::Record record;
        QVERIFY(!record.LastReceived(u"a.example"_s).isValid());
        QByteArray full;
        for (int i = 0; i < indexnow::Record::kLimit; ++i)
            full += Line(u"n%1.example"_s.arg(i).toLatin1());
        WriteRecord(full);
        QCOMPARE(record.Entries().size(), indexnow::Record::kLimit);
        record.Append(Entry(u"a.example"_s, 200, 1));
        record.Append(Entry(u"a.example"_s, 202, 2));
        record.Append(Entry(u"a.example"_s, 403, 3));
        record.Append(Entry(u"b.example"_s, 200, 4));
        record.Append(Entry(u"a.example.org"_s, 200, 5));
        QCOMPARE(record.LastReceived(u"A.example"_s), Entry({}, 0, 2).time);
        QVERIFY(!record.LastReceived(u"c.example"_s).isValid());
        const QList<indexnow::RecordEntry> entries = record.Entries();
        QCOMPARE(entries.size(), indexnow::Record::kLimit);
        QCOMPARE(entries.first().host, u"a.example.org"_s);
        QCOMPARE(entries.last().host, u"n5.example"_s);
    }
};

PAGECRIER_TEST_MAIN(TestStored)
#include "tst_stored.moc"
