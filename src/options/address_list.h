#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// A remembered list of addresses kept in one file: newest first, without
// duplicates, at most limit() entries. Every change goes to the file at once,
// as the settings file is written (guarded_file.h): locked, merged with what
// another running copy wrote, replaced whole so that a crash leaves either
// the old or the new list, and never through a link to a file that is not
// the user's. A file that cannot be read or is damaged counts as an empty
// list; the next change keeps it aside as "<file>.damaged-<time>" before
// starting a new one. Nothing about it is ever reported.
class AddressList
{
public:
    static constexpr int kDefaultLimit = 500;
    // A longer address is not remembered (nor read back from a file).
    static constexpr int kMaxAddressLength = 4096;

    explicit AddressList(const QString &filePath, int limit = kDefaultLimit);

    // Reads the file again (another running copy may have changed it).
    void Load();

    // Puts address first, drops an earlier copy of it and whatever falls
    // beyond the limit, and writes the file. An empty or over-long text is
    // ignored.
    // Returns false when the file could not be written; the list in memory
    // has the address all the same.
    bool Remember(const QString &address);

    const QStringList &entries() const { return entries_; }
    bool contains(const QString &address) const { return index_.contains(address); }
    QString path() const { return path_; }
    int limit() const { return limit_; }

    // The list in the file's form, and back. Parse gives an empty list for a
    // text that is not such a list; single entries that are not addresses are
    // skipped, duplicates and the excess beyond limit dropped.
    static QByteArray Serialize(const QStringList &entries);
    static QStringList Parse(const QByteArray &data, int limit);

private:
    QString path_;
    int limit_;
    QStringList entries_;
    QSet<QString> index_;
};
