#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// One site map file: an XML urlset of url/loc (with an optional lastmod), an
// XML sitemapindex of sitemap/loc, or plain UTF-8 text of one address per
// line; any of them may be gzip-compressed. No network here.
namespace indexnow::sitemap {

// Bounds of the site map protocol (per file, uncompressed), and the
// program's bound on the addresses of all the site maps of one index.
constexpr qint64 kMaxFileBytes = 50 * 1024 * 1024;
constexpr int kMaxEntries = 50000;
constexpr int kMaxTotal = 1000000;

struct Entry
{
    QString loc;       // as written, entities resolved, blanks around it trimmed
    QDateTime lastmod; // UTC; invalid when absent or not a W3C date-time
};

} // namespace indexnow::sitemap

// Lists of a million entries grow by moving their memory, not entry by entry.
Q_DECLARE_TYPEINFO(indexnow::sitemap::Entry, Q_RELOCATABLE_TYPE);

namespace indexnow::sitemap {

struct File
{
    enum Kind
    {
        UrlSet,
        Index,
        Text
    };
    Kind kind = Text;
    QList<Entry> entries;
    QString error; // why the file cannot be used (names it); empty when it can
};

// Reads one file as fetched or as stored on disk. Compression is told by
// the first bytes; never more than kMaxFileBytes are inflated. XML is read
// with QXmlStreamReader (no external entity, the expansion limit kept).
// Refused with a message: HTML, XML that is not well-formed, an entity
// bomb, a gzip bomb, a file or line over the bound, bytes that are not
// UTF-8, more than kMaxEntries entries, no entry at all. name (the file's
// address or path) is used in messages.
File Parse(const QByteArray &bytes, const QString &name);

// Inflates gzip data to at most limit bytes; false with a message when it
// is damaged or would be larger.
bool Gunzip(const QByteArray &gzip, qint64 limit, QByteArray *out, QString *error);

// A W3C date-time ("2024-05-01", "2024-05-01T10:20Z",
// "2024-05-01T10:20:30.5+02:00", ...) in UTC; invalid when it is none.
QDateTime ParseW3cDate(const QString &text);

} // namespace indexnow::sitemap
