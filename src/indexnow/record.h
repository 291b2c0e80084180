#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The record of IndexNow submissions: one entry a request, single or batch,
// the newest 1,000 kept in a file in the program's data folder. Written and
// read the safe way the address lists are (private, atomic, locked, a
// damaged file kept aside before a new one is started).
namespace indexnow {

struct RecordEntry
{
    QDateTime time; // UTC
    QString endpoint;
    QString host;
    int count = 0;   // addresses in the request
    QString first;   // the first of them
    int status = 0;  // 0: no answer
    QString meaning; // what the answer means, as Meaning() gives it
};

class Record
{
public:
    static constexpr int kLimit = 1000;

    // <data folder>/indexnow-record.tsv
    static QString DefaultPath();
    explicit Record(const QString &path = DefaultPath());

    // Adds entry as the newest and drops what falls beyond kLimit. Throws
    // Failure (naming the file) when it cannot be written.
    void Append(const RecordEntry &entry);

    // Newest first; a file that cannot be read gives none.
    QList<RecordEntry> Entries() const;

    // When the endpoint last received (200 or 202) a submission for host;
    // invalid when never.
    QDateTime LastReceived(const QString &host) const;

    // The pane's page of the entries, newest first (the program's own page:
    // no script, nothing loaded).
    static QString Page(const QList<RecordEntry> &entries);

    QString path() const { return path_; }

private:
    QString path_;
};

} // namespace indexnow
