#include "addresses.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <optional>

namespace indexnow {

namespace {

bool IsScheme(const QUrl &url, QLatin1StringView scheme)
{
    return url.scheme().compare(scheme, Qt::CaseInsensitive) == 0;
}

// The port an address names, with the scheme's own counted as none.
int ExplicitPort(const QUrl &url)
{
    const int port = url.port();
    if ((port == 80 && IsScheme(url, QLatin1StringView("http"))) ||
        (port == 443 && IsScheme(url, QLatin1StringView("https"))))
        return -1;
    return port;
}

// The site's host and port, worked out once for all its addresses.
struct Site
{
    QString host;
    int port;
};

// Each part of an address is asked for once: Select runs over a million.
std::optional<DropReason> Drop(const QString &loc, const QUrl &url, const Site &site,
                               QSet<QString> *seen)
{
    const bool http = IsScheme(url, QLatin1StringView("http"));
    if (!http && !IsScheme(url, QLatin1StringView("https")) && !url.scheme().isEmpty())
        return DropReason::NotHttp;
    if (!url.userInfo().isEmpty())
        return DropReason::UserInfo;
    const QString host = url.host();
    const int port = ExplicitPort(url);
    const bool valid = url.isValid();
    if (valid && !host.isEmpty() &&
        (host.compare(site.host, Qt::CaseInsensitive) != 0 || port != site.port))
        return DropReason::OtherHost;
    // An address written another way (letter case, the scheme's own port) is
    // still the same one.
    const QUrl::FormattingOptions form(port < 0 ? QUrl::RemovePort : QUrl::None);
    QString key = valid ? url.toString(form | QUrl::FullyEncoded) : loc;
    if (key == loc)
        key = loc; // shares the text, which saves memory for a million of them
    const qsizetype before = seen->size();
    seen->insert(key); // one look-up, not two
    if (seen->size() == before)
        return DropReason::Duplicate;
    if (!valid || url.isRelative() || host.isEmpty())
        return DropReason::Malformed;
    return std::nullopt;
}

} // namespace

QString DropReasonText(DropReason reason)
{
    switch (reason) {
    case DropReason::NotHttp:
        return QStringLiteral("not http or https");
    case DropReason::OtherHost:
        return QStringLiteral("on another host than the site map");
    case DropReason::Duplicate:
        return QStringLiteral("listed before");
    case DropReason::Malformed:
        return QStringLiteral("not a whole web address");
    case DropReason::UserInfo:
        return QStringLiteral("carrying a user name or password");
    }
    return {};
}

bool SameSite(const QUrl &url, const QUrl &site)
{
    return url.host().compare(site.host(), Qt::CaseInsensitive) == 0 &&
           ExplicitPort(url) == ExplicitPort(site);
}

QStringList PatternLines(const QString &text)
{
    QStringList patterns;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        const QStringView pattern = line.trimmed();
        if (!pattern.isEmpty())
            patterns << pattern.toString();
    }
    return patterns;
}

bool MatchesPattern(const QString &address, const QString &pattern)
{
    // The usual glob walk: on a mismatch, go back to the last '*' and let it
    // take one more character. Each '*' only moves forward, so the work is
    // at most the product of the lengths, never exponential.
    qsizetype a = 0, p = 0, star = -1, resume = 0;
    while (a < address.size()) {
        if (p < pattern.size() && pattern.at(p) == u'*') {
            star = p++;
            resume = a;
        } else if (p < pattern.size() && pattern.at(p) == address.at(a)) {
            ++p;
            ++a;
        } else if (star >= 0) {
            p = star + 1;
            a = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern.at(p) == u'*')
        ++p;
    return p == pattern.size();
}

Selection Select(const QList<sitemap::Entry> &entries, const QUrl &site,
                 const QStringList &patterns, const QDateTime &changedSince)
{
    Selection selection;
    const Site shared{site.host(), ExplicitPort(site)};
    QSet<QString> seen;
    seen.reserve(entries.size());
    for (const sitemap::Entry &entry : entries) {
        const QUrl url(entry.loc, QUrl::StrictMode);
        if (const std::optional<DropReason> reason = Drop(entry.loc, url, shared, &seen)) {
            Dropped &dropped = selection.dropped[*reason];
            if (dropped.count++ < kShownDrops)
                dropped.first << entry.loc;
            continue;
        }
        const auto matches = [&entry](const QString &p) { return MatchesPattern(entry.loc, p); };
        if (std::any_of(patterns.begin(), patterns.end(), matches)) {
            ++selection.excluded;
            continue;
        }
        if (changedSince.isValid() && entry.lastmod.isValid() && entry.lastmod <= changedSince) {
            ++selection.unchanged;
            continue;
        }
        selection.kept << entry.loc;
    }
    return selection;
}

QList<QStringList> Batches(const QStringList &addresses, int size)
{
    size = qMax(1, size);
    QList<QStringList> batches;
    for (qsizetype i = 0; i < addresses.size(); i += size)
        batches << addresses.mid(i, size);
    return batches;
}

QByteArray BatchBody(const QString &host, const QString &key, const QString &keyLocation,
                     const QStringList &addresses)
{
    const QJsonObject body{{QStringLiteral("host"), host},
                           {QStringLiteral("key"), key},
                           {QStringLiteral("keyLocation"), keyLocation},
                           {QStringLiteral("urlList"), QJsonArray::fromStringList(addresses)}};
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

} // namespace indexnow
