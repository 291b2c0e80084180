#pragma once

#include "sitemap.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

// Which addresses of a site map are sent, and how they go out.
namespace indexnow {

// The protocol's bound on the addresses of one request.
constexpr int kMaxBatch = 10000;
// How many dropped addresses of each kind are shown.
constexpr int kShownDrops = 5;

enum class DropReason
{
    NotHttp,   // another scheme: javascript:, file:, ftp:, ...
    OtherHost, // not on the host (and port) of the site map
    Duplicate, // listed before
    Malformed, // no valid absolute address
    UserInfo,  // carries a user name or password
};

// "not http or https", "on another host than the site map", ...
QString DropReasonText(DropReason reason);

struct Dropped
{
    int count = 0;
    QStringList first; // the first kShownDrops, as written
};

struct Selection
{
    QStringList kept; // in site-map order
    QMap<DropReason, Dropped> dropped;
    int excluded = 0;  // matched an exclusion pattern
    int unchanged = 0; // lastmod not after the last received submission
};

// Whether url is on site's host and port, the scheme's own port counting as
// none (http://a.example/ and https://a.example/ are one site).
bool SameSite(const QUrl &url, const QUrl &site);

// The patterns of an exclusion field: one a line, blanks around trimmed,
// empty lines left out.
QStringList PatternLines(const QString &text);

// Whether address matches pattern as a whole; "*" stands for any run of
// characters (none included), every other character for itself.
bool MatchesPattern(const QString &address, const QString &pattern);

// Sorts entries into the addresses to send and the dropped ones. site gives
// the scheme-independent host and port the batch is for; an address is
// excluded when it matches any pattern; with changedSince valid, an entry
// whose lastmod is not after it is left out (entries without lastmod are
// kept). An address is dropped as NotHttp, UserInfo, OtherHost, Duplicate
// or Malformed, the first that applies; then come exclusion and changedSince.
Selection Select(const QList<sitemap::Entry> &entries, const QUrl &site,
                 const QStringList &patterns, const QDateTime &changedSince = {});

// Consecutive runs of at most size addresses.
QList<QStringList> Batches(const QStringList &addresses, int size = kMaxBatch);

// The JSON body of one set submission:
// {"host": ..., "key": ..., "keyLocation": ..., "urlList": [...]}
QByteArray BatchBody(const QString &host, const QString &key, const QString &keyLocation,
                     const QStringList &addresses);

} // namespace indexnow
