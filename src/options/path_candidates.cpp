#include "path_candidates.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <algorithm>

namespace {

// A listing taken this long after the folder's last change has seen it: the
// file system's clock and time stamps are far finer than that.
constexpr qint64 kSettledMs = 3000;

} // namespace

bool PathCandidates::SplitTyped(const QString &typed, Split *split)
{
    QString prefix; // what stands before the local path in the typed text
    QString local;
    if (typed.startsWith(QLatin1Char('/'))) {
        local = typed;
    } else if (typed.startsWith(QLatin1String("~/"))) {
        prefix = QStringLiteral("~");
        local = typed.mid(1);
    } else if (typed.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QString rest = typed.mid(5);
        if (rest.startsWith(QLatin1String("///"))) {
            prefix = typed.left(7);
            local = typed.mid(7);
        } else if (rest.startsWith(QLatin1String("//"))) {
            return false; // a host name, or the third slash is still to come
        } else if (rest.startsWith(QLatin1Char('/'))) {
            prefix = typed.left(5);
            local = rest;
        } else {
            return false;
        }
    } else {
        return false;
    }

    const int slash = local.lastIndexOf(QLatin1Char('/'));
    const QString folder = local.left(slash + 1);
    split->namePrefix = local.mid(slash + 1);
    split->shownFolder = prefix + folder;
    split->localFolder = prefix == QLatin1String("~") ? QDir::homePath() + folder : folder;
    return true;
}

QStringList PathCandidates::Candidates(const QString &typed)
{
    Split split;
    if (!SplitTyped(typed, &split))
        return {};
    const bool showHidden = split.namePrefix.startsWith(QLatin1Char('.'));
    QStringList result;
    for (const Entry &entry : Listing(split.localFolder)) {
        if (entry.hidden && !showHidden)
            continue;
        if (entry.name.startsWith(split.namePrefix, Qt::CaseInsensitive))
            result.append(split.shownFolder + entry.name);
    }
    return result;
}

const QList<PathCandidates::Entry> &PathCandidates::Listing(const QString &folder)
{
    const QFileInfo info(folder);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    if (folder == folder_ && modified == folderModified_ && modified.isValid() &&
        modified.msecsTo(listedAt_) > kSettledMs)
        return entries_;

    folder_ = folder;
    folderModified_ = modified;
    listedAt_ = QDateTime::currentDateTimeUtc();
    entries_.clear();
    ++listings_;
    if (!modified.isValid() || !info.isDir())
        return entries_;

    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entryInfo = it.fileInfo();
        Entry entry;
        entry.name = it.fileName();
        entry.hidden = entry.name.startsWith(QLatin1Char('.'));
        if (entryInfo.isDir())
            entry.name += QLatin1Char('/');
        entries_.append(entry);
    }
    std::sort(entries_.begin(), entries_.end(), [](const Entry &a, const Entry &b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return entries_;
}
