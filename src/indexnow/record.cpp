#include "record.h"

#include "guarded_file.h"
#include "own_page.h"
#include "settings_file.h"
#include "settings_store.h"

#include <QStringDecoder>

#include <algorithm>
#include <new>
#include <optional>

namespace indexnow {

namespace {

// 1,000 entries of a few hundred bytes each; a file far larger is not ours.
// Which sites were submitted where is the user's business: 0600 in a 0700
// folder.
const guardedfile::Kind kRecordKind{QStringLiteral("IndexNow record"), 4 * 1024 * 1024, true};

// Fields longer than this are cut when written, so that an entry stays well
// within the file's bound.
constexpr int kMaxField = 4096;

// One line an entry, oldest first: time, endpoint, host, count, first
// address, status, meaning, separated by tabs; each text escaped as the
// settings file escapes values (no tab, line end or backslash left bare).
QByteArray Line(const RecordEntry &e)
{
    const auto text = [](const QString &value) {
        return settingsfile::EscapeValue(value.left(kMaxField));
    };
    return e.time.toUTC().toString(Qt::ISODateWithMs).toLatin1() + '\t' + text(e.endpoint) + '\t' +
           text(e.host) + '\t' + QByteArray::number(e.count) + '\t' + text(e.first) + '\t' +
           QByteArray::number(e.status) + '\t' + text(e.meaning) + '\n';
}

// The entries, oldest first, or nothing when any line does not parse.
std::optional<QList<RecordEntry>> Parse(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError() || (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))))
        return std::nullopt;
    QList<RecordEntry> entries;
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() != 7)
            return std::nullopt;
        RecordEntry e;
        bool countOk = false;
        bool statusOk = false;
        e.time = QDateTime::fromString(f[0], Qt::ISODateWithMs).toUTC();
        e.count = f[3].toInt(&countOk);
        e.status = f[5].toInt(&statusOk);
        if (!e.time.isValid() || !countOk || !statusOk ||
            !settingsfile::Unescape(f[1], &e.endpoint) || !settingsfile::Unescape(f[2], &e.host) ||
            !settingsfile::Unescape(f[4], &e.first) || !settingsfile::Unescape(f[6], &e.meaning))
            return std::nullopt;
        entries << e;
    }
    return entries;
}

QString Cell(const QString &html)
{
    return QStringLiteral("<td>") + html + QStringLiteral("</td>");
}

} // namespace

QString Record::DefaultPath()
{
    return DataFolder() + QStringLiteral("/indexnow-record.tsv");
}

Record::Record(const QString &path) : path_(path)
{}

void Record::Append(const RecordEntry &entry)
{
    try {
        // Under the file's lock from the read to the replace, so that
        // another running copy appending at the same time loses nothing.
        guardedfile::Change change(kRecordKind, path_);
        const guardedfile::Contents &contents = change.contents();
        std::optional<QList<RecordEntry>> stored;
        if (contents.exists && !contents.tooLarge)
            stored = Parse(contents.bytes);
        // A file that is no record is kept aside, never just written over.
        if (contents.exists && !stored)
            change.KeepAside();
        QList<RecordEntry> entries = stored.value_or(QList<RecordEntry>());
        entries << entry;
        if (!entries.last().time.isValid())
            entries.last().time = QDateTime::currentDateTimeUtc();
        // The newest kLimit, and no more than the file's bound takes.
        QList<QByteArray> lines;
        qint64 size = 0;
        for (auto it = entries.crbegin(); it != entries.crend() && lines.size() < kLimit; ++it) {
            const QByteArray line = Line(*it);
            if (size + line.size() > kRecordKind.maxSize)
                break;
            size += line.size();
            lines.prepend(line);
        }
        change.Replace(lines.join());
    } catch (const std::bad_alloc &) {
        throw FileError(
            QStringLiteral("The IndexNow record %1 cannot be written: out of memory.").arg(path_));
    }
}

QList<RecordEntry> Record::Entries() const
{
    try {
        const guardedfile::Contents contents = guardedfile::Read(kRecordKind, path_);
        if (!contents.exists || contents.tooLarge)
            return {};
        QList<RecordEntry> entries = Parse(contents.bytes).value_or(QList<RecordEntry>());
        std::reverse(entries.begin(), entries.end());
        return entries;
    } catch (const FileError &) {
    } catch (const std::bad_alloc &) {
    }
    return {};
}

QDateTime Record::LastReceived(const QString &host) const
{
    for (const RecordEntry &e : Entries()) {
        if ((e.status == 200 || e.status == 202) && e.host.compare(host, Qt::CaseInsensitive) == 0)
            return e.time;
    }
    return QDateTime();
}

QString Record::Page(const QList<RecordEntry> &entries)
{
    using namespace ownpage;
    const QString title = QStringLiteral("IndexNow History");
    if (entries.isEmpty())
        return ownpage::Page(title, P(QStringLiteral("No submission has been recorded yet.")));
    QString rows;
    for (const RecordEntry &e : entries) {
        rows += QStringLiteral("<tr>") +
                Cell(Html(e.time.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))) +
                Cell(Html(e.endpoint)) + Cell(Html(e.host)) + Cell(QString::number(e.count)) +
                Cell(Code(e.first)) + Cell(e.status ? QString::number(e.status) : QString()) +
                Cell(Html(e.meaning)) + QStringLiteral("</tr>");
    }
    return ownpage::Page(
        title, P((entries.size() == 1
                      ? QStringLiteral("One submission")
                      : QStringLiteral("%1 submissions, the newest first").arg(entries.size())) +
                 QStringLiteral(" (the record keeps the last %1).").arg(kLimit)) +
                   QStringLiteral("<table><tr><th>Time (UTC)</th><th>Endpoint</th><th>Host</th>"
                                  "<th>Addresses</th><th>First address</th><th>Status</th>"
                                  "<th>Meaning</th></tr>") +
                   rows + QStringLiteral("</table>"));
}

} // namespace indexnow
