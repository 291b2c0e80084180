#include "sitemap.h"

#include <QLocale>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <cstring>
#include <zlib.h>

namespace indexnow::sitemap {

namespace {

// A text site map's line (and an XML loc) longer than this is no address.
constexpr int kMaxLineBytes = 4096;

QString Megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(QLocale(QLocale::English).toString(bytes / (1024 * 1024)));
}

QString Refusal(const QString &name, const QString &why)
{
    return QStringLiteral("Cannot use the site map %1: %2.").arg(name, why);
}

QString TooMany()
{
    return QStringLiteral("it lists more than %1 entries, the most one file may hold")
        .arg(QLocale(QLocale::English).toString(kMaxEntries));
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the content starts: after a UTF-8 byte-order mark and blanks.
qsizetype ContentStart(const QByteArray &data)
{
    qsizetype i = data.startsWith("\xef\xbb\xbf") ? 3 : 0;
    while (i < data.size() && IsBlank(data.at(i)))
        ++i;
    return i;
}

bool LooksLikeHtml(const QByteArray &data, qsizetype start)
{
    const QByteArray head = data.mid(start, 64).toLower();
    return head.startsWith("<!doctype html") || head.startsWith("<html");
}

File ReadXml(const QByteArray &data, const QString &name)
{
    File file;
    QXmlStreamReader xml(data);
    bool declaresEntities = false;
    // A well-formedness error, or the file's own reason to refuse it.
    auto refuse = [&](const QString &why) {
        file.error = Refusal(name, why);
        file.entries.clear();
        return file;
    };
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartDocument) {
            const QString encoding = xml.documentEncoding().toString();
            if (!encoding.isEmpty() && encoding.compare(u"utf-8", Qt::CaseInsensitive) != 0)
                return refuse(QStringLiteral("it is written in %1, not UTF-8").arg(encoding));
        } else if (token == QXmlStreamReader::DTD) {
            if (xml.dtdName().compare(u"html", Qt::CaseInsensitive) == 0)
                return refuse(QStringLiteral("it is an HTML page, not a site map"));
            declaresEntities = !xml.entityDeclarations().isEmpty();
        } else if (token == QXmlStreamReader::StartElement) {
            break;
        }
    }
    if (!xml.hasError() && xml.isStartElement()) {
        const QStringView root = xml.name();
        if (root.compare(u"html", Qt::CaseInsensitive) == 0)
            return refuse(QStringLiteral("it is an HTML page, not a site map"));
        if (root == u"urlset")
            file.kind = File::UrlSet;
        else if (root == u"sitemapindex")
            file.kind = File::Index;
        else
            return refuse(QStringLiteral("its root element is <%1>, not <urlset> or "
                                         "<sitemapindex>")
                              .arg(root.left(64)));
        const QLatin1StringView item(file.kind == File::UrlSet ? "url" : "sitemap");
        // Children of the root: item elements; of an item: loc and lastmod.
        // Anything else (changefreq, image:image, ...) is passed over.
        while (xml.readNextStartElement()) {
            if (xml.name() != item) {
                xml.skipCurrentElement();
                continue;
            }
            if (file.entries.size() == kMaxEntries)
                return refuse(TooMany());
            Entry entry;
            while (xml.readNextStartElement()) {
                if (xml.name() == u"loc") {
                    entry.loc = xml.readElementText().trimmed();
                    if (entry.loc.size() > kMaxLineBytes)
                        return refuse(QStringLiteral("the address at line %1 is longer than "
                                                     "%2 characters")
                                          .arg(xml.lineNumber())
                                          .arg(QLocale(QLocale::English).toString(kMaxLineBytes)));
                } else if (xml.name() == u"lastmod") {
                    entry.lastmod = ParseW3cDate(xml.readElementText().trimmed());
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (!xml.hasError())
                file.entries.append(entry);
        }
        // The rest of the document must be well-formed too.
        while (!xml.hasError() && !xml.atEnd())
            xml.readNext();
    }
    if (xml.hasError()) {
        QString what = xml.errorString();
        if (what.endsWith(u'.'))
            what.chop(1);
        const qint64 line = xml.lineNumber();
        if (declaresEntities && what.contains(u"entit", Qt::CaseInsensitive))
            return refuse(QStringLiteral("its entities expand to too much text at line %1 (an "
                                         "entity-expansion bomb?)")
                              .arg(line));
        if (what.contains(u"encoded", Qt::CaseInsensitive))
            return refuse(
                QStringLiteral("it holds bytes that are not UTF-8 text (line %1)").arg(line));
        return refuse(
            QStringLiteral("it is not well-formed XML (line %1: %2)").arg(line).arg(what));
    }
    if (file.entries.isEmpty())
        return refuse(file.kind == File::Index ? QStringLiteral("it lists no site maps")
                                               : QStringLiteral("it lists no addresses"));
    return file;
}

// One address a line; every line is checked as UTF-8 on its own, and no line
// is held longer than kMaxLineBytes.
File ReadText(const QByteArray &data, qsizetype start, const QString &name)
{
    File file;
    file.kind = File::Text;
    auto refuse = [&](const QString &why) {
        file.error = Refusal(name, why);
        file.entries.clear();
        return file;
    };
    const char *bytes = data.constData();
    qsizetype pos = start;
    int line = 1 + int(data.left(start).count('\n'));
    while (pos < data.size()) {
        const void *newline = std::memchr(bytes + pos, '\n', size_t(data.size() - pos));
        const qsizetype end = newline ? static_cast<const char *>(newline) - bytes : data.size();
        if (end - pos > kMaxLineBytes)
            return refuse(QStringLiteral("line %1 is longer than %2 bytes; it is no address")
                              .arg(line)
                              .arg(QLocale(QLocale::English).toString(kMaxLineBytes)));
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(QByteArrayView(bytes + pos, end - pos));
        if (utf8.hasError())
            return refuse(QStringLiteral("line %1 holds bytes that are not UTF-8 text").arg(line));
        const QString loc = text.trimmed();
        if (!loc.isEmpty()) {
            if (file.entries.size() == kMaxEntries)
                return refuse(TooMany());
            file.entries.append({loc, {}});
        }
        pos = end + 1;
        ++line;
    }
    if (file.entries.isEmpty())
        return refuse(QStringLiteral("it is empty"));
    return file;
}

} // namespace

bool Gunzip(const QByteArray &gzip, qint64 limit, QByteArray *out, QString *error)
{
    out->clear();
    z_stream zs;
    std::memset(&zs, 0, sizeof zs);
    if (inflateInit2(&zs, 16 + MAX_WBITS) != Z_OK) {
        *error = QStringLiteral("the decompressor could not start");
        return false;
    }
    zs.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(gzip.constData()));
    zs.avail_in = uInt(gzip.size());
    constexpr qint64 kChunk = 256 * 1024;
    int status = Z_OK;
    QString why;
    while (why.isEmpty()) {
        // One byte past the limit is room enough to see that it is passed.
        const qint64 room = qMin(kChunk, limit + 1 - out->size());
        const qsizetype had = out->size();
        if (out->capacity() < had + room) // grown by doubling, not a chunk at a time
            out->reserve(qMin(qMax(2 * out->capacity(), had + room), limit + 1));
        out->resize(had + room);
        zs.next_out = reinterpret_cast<Bytef *>(out->data() + had);
        zs.avail_out = uInt(room);
        status = inflate(&zs, Z_NO_FLUSH);
        out->resize(had + room - zs.avail_out);
        if (out->size() > limit)
            why = QStringLiteral("it inflates to more than %1 (a compression bomb?)")
                      .arg(Megabytes(limit));
        else if (status == Z_STREAM_END && zs.avail_in == 0)
            break;
        else if (status == Z_STREAM_END) // another gzip member follows
            status = inflateReset(&zs);
        else if (status == Z_BUF_ERROR && zs.avail_in == 0)
            why = QStringLiteral("its compressed data ends early");
        else if (status != Z_OK)
            why = QStringLiteral("its compressed data is damaged (%1)")
                      .arg(QString::fromLatin1(zs.msg ? zs.msg : "zlib error"));
    }
    inflateEnd(&zs);
    if (why.isEmpty())
        return true;
    out->clear();
    *error = why;
    return false;
}

File Parse(const QByteArray &bytes, const QString &name)
{
    File refused;
    if (bytes.startsWith("\x1f\x8b")) {
        QByteArray data;
        QString why;
        if (!Gunzip(bytes, kMaxFileBytes, &data, &why)) {
            refused.error = Refusal(name, why);
            return refused;
        }
        if (data.startsWith("\x1f\x8b")) { // compressed twice: no more than once is read
            refused.error = Refusal(name, QStringLiteral("it is compressed twice"));
            return refused;
        }
        return Parse(data, name);
    }
    if (bytes.size() > kMaxFileBytes) {
        refused.error = Refusal(name, QStringLiteral("it is larger than %1, the most one file "
                                                     "may hold")
                                          .arg(Megabytes(kMaxFileBytes)));
        return refused;
    }
    const qsizetype start = ContentStart(bytes);
    if (start == bytes.size()) {
        refused.error = Refusal(name, QStringLiteral("it is empty"));
        return refused;
    }
    if (LooksLikeHtml(bytes, start)) {
        refused.error = Refusal(name, QStringLiteral("it is an HTML page, not a site map"));
        return refused;
    }
    return bytes.at(start) == '<' ? ReadXml(bytes, name) : ReadText(bytes, start, name);
}

QDateTime ParseW3cDate(const QString &text)
{
    // Read by hand: a site map has one date an entry, and a million of them
    // must not cost a regular expression each.
    qsizetype at = 0;
    auto digits = [&text, &at](int count, int *value) {
        *value = 0;
        for (int i = 0; i < count; ++i, ++at) {
            if (at >= text.size() || !text.at(at).isDigit() || text.at(at).unicode() > '9')
                return false;
            *value = *value * 10 + (text.at(at).unicode() - '0');
        }
        return true;
    };
    auto next = [&text, &at](char16_t c) {
        if (at >= text.size() || text.at(at) != c)
            return false;
        ++at;
        return true;
    };
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0, ms = 0;
    if (!digits(4, &year))
        return {};
    if (next(u'-') && (!digits(2, &month) || (next(u'-') && !digits(2, &day))))
        return {};
    int offset = 0; // seconds ahead of UTC
    if (at == 10 && next(u'T')) {
        if (!digits(2, &hour) || !next(u':') || !digits(2, &minute))
            return {};
        if (next(u':')) {
            if (!digits(2, &second))
                return {};
            if (next(u'.')) { // a fraction of a second: its first three digits count
                int digit = 0, place = 100;
                if (!digits(1, &digit))
                    return {};
                for (ms = digit * 100; digits(1, &digit); place /= 10)
                    ms += digit * place / 10;
            }
        }
        if (!next(u'Z')) {
            const bool ahead = next(u'+');
            int hours = 0, minutes = 0;
            if ((!ahead && !next(u'-')) || !digits(2, &hours) || !next(u':') ||
                !digits(2, &minutes) || hours > 14 || minutes > 59)
                return {};
            offset = (hours * 60 + minutes) * 60 * (ahead ? 1 : -1);
        }
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute, second, ms);
    if (at != text.size() || !date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC).addSecs(-offset);
}

} // namespace indexnow::sitemap
