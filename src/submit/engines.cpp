#include "engines.h"

namespace {

Piece T(const char *text)
{
    return Piece{Piece::Text, text};
}

const Piece kUrl{Piece::Url, nullptr};
const Piece kName1{Piece::Name1, nullptr};
const Piece kMail{Piece::Mail, nullptr};

} // namespace

const QList<Engine> &Catalogue()
{
    static const QList<Engine> engines = {
        {"Command1", "&Google", "Google", "google", {T("/addurl?q="), kUrl, T("&dq=")}},
        {"Command2",
         "&Lycos",
         "Lycos",
         "lycos",
         {T("/cgi-bin/spider_now.pl?query="), kUrl, T("&email="), kMail}},
        {"Command3", "&Altavista", "Altavista", "altavista", {T("/cgi-bin/newurl?ad=1&q="), kUrl}},
        {"Command4",
         "&Excite",
         "Excite",
         "excite",
         {T("/cgi/add_url_new.cgi?Service=excite&url="), kUrl, T("&email="), kMail,
          T("&look=excite")}},
        {"Command5",
         "&MSN",
         "MSN",
         "msn",
         {T("/system/msnaddpublic.cfm?msnurl="), kUrl, T("&email="), kMail, T("&subscribe=0")}},
        {"Command6",
         "&Hotbot",
         "Hotbot",
         "hotbot",
         {T("/addurl.asp?newurl="), kUrl, T("&MM=1&output=success&email="), kMail}},
        {"Command7",
         "&Northern Light",
         "Northern Light",
         "northernlight",
         {T("/cgi-bin/urlsubmit.pl?page="), kUrl, T("&email="), kMail, T("&contact="), kName1}},
        {"Command8",
         "What u &Seek",
         "What u Seek",
         "whatuseek",
         {T("/cgi-bin/addurl.go?url="), kUrl, T("&email="), kMail, T("&submit=Add+This_Url")}},
        {"Command12",
         "An&zwers",
         "Anzwers",
         "anzwers",
         {T("/cgi-bin/print_addurl.pl?url="), kUrl, T("&email="), kMail, T("&Submit=Send")}},
        {"Command13", "&Infomak", "Infomak", "infomak", {T("/add_url.sh?Page=url&url="), kUrl}},
        {"Command14",
         "Scr&ub the Web",
         "Scrub the Web",
         "scrubtheweb",
         {T("/cgi-bin/addurl.cgi?Email="), kMail, T("&URL="), kUrl}},
        {"Command15",
         "Mage&llan",
         "Magellan",
         "excite",
         {T("/cgi/add_url_new.cgi?Service=magellan&url="), kUrl, T("&email="), kMail,
          T("&look=excite")}},
    };
    return engines;
}

const Engine *EngineForControl(const QString &control)
{
    for (const Engine &engine : Catalogue()) {
        if (control == QLatin1String(engine.control))
            return &engine;
    }
    return nullptr;
}

HostTable HostTable::Default()
{
    HostTable table;
    table.hosts_ = {
        {QStringLiteral("google"), QStringLiteral("www.google.com")},
        {QStringLiteral("lycos"), QStringLiteral("www.lycos.com")},
        {QStringLiteral("altavista"), QStringLiteral("add-url.altavista.com")},
        {QStringLiteral("excite"), QStringLiteral("www.excite.com")},
        {QStringLiteral("msn"), QStringLiteral("search.msn.com")},
        {QStringLiteral("hotbot"), QStringLiteral("www.hotbot.com")},
        {QStringLiteral("northernlight"), QStringLiteral("www.northernlight.com")},
        {QStringLiteral("whatuseek"), QStringLiteral("www.whatuseek.com")},
        {QStringLiteral("anzwers"), QStringLiteral("www.anzwers.com.au")},
        {QStringLiteral("infomak"), QStringLiteral("www.infomak.com")},
        {QStringLiteral("scrubtheweb"), QStringLiteral("www.scrubtheweb.com")},
    };
    // No IndexNow endpoint: the user's choice applies (indexnow/endpoints.h).
    return table;
}

HostTable HostTable::AllAt(const QString &host)
{
    HostTable table = Default();
    for (auto it = table.hosts_.begin(); it != table.hosts_.end(); ++it)
        it.value() = host;
    table.indexNowEndpoint_ = QStringLiteral("http://") + host;
    return table;
}

QString HostTable::host(const char *hostKey) const
{
    return hosts_.value(QLatin1String(hostKey));
}

void HostTable::setHost(const QString &hostKey, const QString &host)
{
    hosts_.insert(hostKey, host);
}

QString EncodeField(const QString &text)
{
    // QByteArray::toPercentEncoding keeps letters, digits and "-._~"; the
    // characters below stay readable too, since they mean nothing special
    // inside a query value.
    // Half of a surrogate pair with no other half is no character: it goes
    // out as the replacement character U+FFFD, as UTF-8 has it (toUtf8 would
    // make it "?").
    QString whole = text;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const QChar c = whole.at(i);
        if (c.isHighSurrogate() && i + 1 < whole.size() && whole.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            whole[i] = QChar::ReplacementCharacter;
    }
    return QString::fromLatin1(whole.toUtf8().toPercentEncoding(":/?@!$'()*,"));
}

QString RequestAddress(const Engine &engine, const SiteDetails &site, const HostTable &hosts)
{
    QString address = QStringLiteral("http://") + hosts.host(engine.hostKey);
    for (const Piece &piece : engine.pieces) {
        switch (piece.kind) {
        case Piece::Text:
            address += QLatin1String(piece.text);
            break;
        case Piece::Url:
            address += EncodeField(site.url);
            break;
        case Piece::Name1:
            address += EncodeField(site.name1);
            break;
        case Piece::Mail:
            address += EncodeField(site.mail);
            break;
        }
    }
    return address;
}
