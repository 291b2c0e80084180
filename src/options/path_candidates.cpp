#include "path_candidates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

namespace {

// A listing taken this long after the folder's last change has seen it: the
// file system's clock and time stamps are far finer than that.
constexpr qint64 kSettledMs = 3000;

} // namespace

// Reads the folder's entries straight from the directory: the kind of most
// entries comes with the name, so only links and the odd file system need a
// look at the entry itself.
void PathCandidates::ReadFolder(const QString &folder, QList<Entry> *entries)
{
    const QByteArray native = QFile::encodeName(folder);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        return;
    while (const dirent *item = ::readdir(dir)) {
        const char *name = item->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        bool isDir = item->d_type == DT_DIR;
        if (item->d_type == DT_LNK || item->d_type == DT_UNKNOWN) {
            struct stat info;
            const QByteArray path = native + '/' + name;
            isDir = ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        Entry entry;
        entry.name = QFile::decodeName(name);
        entry.hidden = name[0] == '.';
        if (isDir)
            entry.name += QLatin1Char('/');
        entry.folded = entry.name.toCaseFolded();
        entries->append(entry);
    }
    ::closedir(dir);
}

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

QStringList PathCandidates::Candidates(const QString &typed, int limit)
{
    Split split;
    if (!SplitTyped(typed, &split))
        return {};
    const bool showHidden = split.namePrefix.startsWith(QLatin1Char('.'));
    QStringList result;
    const QString folded = split.namePrefix.toCaseFolded();
    for (const Entry &entry : Listing(split.localFolder)) {
        if (result.size() >= limit)
            break;
        if (entry.hidden && !showHidden)
            continue;
        if (entry.folded.startsWith(folded))
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

    ReadFolder(folder, &entries_);
    std::sort(entries_.begin(), entries_.end(), [](const Entry &a, const Entry &b) {
        return a.folded != b.folded ? a.folded < b.folded : a.name < b.name;
    });
    return entries_;
}
