#include "addresses.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <optional>

namespace indexnow {

namespace {

// The port an address names, with the scheme's own counted as none.
int ExplicitPort(const QUrl &url)
{
    const int port = url.port();
    const QString scheme = url.scheme().toLower();
    if ((scheme == u"http" && port == 80) || (scheme == u"https" && port == 443))
        return -1;
    return port;
}

std::optional<DropReason> Drop(const QString &loc, const QUrl &url, const QUrl &site,
                               QSet<QString> *seen)
{
    const QString scheme = url.scheme().toLower();
    if (!scheme.isEmpty() && scheme != u"http" && scheme != u"https")
        return DropReason::NotHttp;
    if (!url.userInfo().isEmpty())
        return DropReason::UserInfo;
    if (url.isValid() && !url.host().isEmpty() && !SameSite(url, site))
        return DropReason::OtherHost;
    QUrl same = url; // an address written another way is still the same one
    same.setPort(ExplicitPort(url));
    QString key = url.isValid() ? same.toString(QUrl::FullyEncoded) : loc;
    if (key == loc)
        key = loc; // shares the text, which saves memory for a million of them
    if (seen->contains(key))
        return DropReason::Duplicate;
    seen->insert(key);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty())
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
    QSet<QString> seen;
    seen.reserve(entries.size());
    for (const sitemap::Entry &entry : entries) {
        const QUrl url(entry.loc, QUrl::StrictMode);
        if (const std::optional<DropReason> reason = Drop(entry.loc, url, site, &seen)) {
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
