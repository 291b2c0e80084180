#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <limits>

// File-system candidates for a typed text that looks like a local path:
// "/...", "~/..." or a "file:" address. The folder part (up to the last "/")
// is listed, and its entries whose names begin with the rest, letter case
// ignored, come back written in the form the user typed; folders end in "/".
// Hidden entries appear only when the typed name begins with ".".
//
// The listing of the last folder is kept and used again while the folder is
// unchanged, so typing within one folder lists it once. A folder changed in
// the last few seconds is listed afresh each time: its modification time is
// too coarse to tell whether the kept listing saw the latest change.
class PathCandidates
{
public:
    // At most limit of them, the first by name.
    QStringList Candidates(const QString &typed, int limit = std::numeric_limits<int>::max());

    // How a typed text splits: the text to put before each entry name, the
    // local folder to list and the start of the names. False when the text
    // is no local path.
    struct Split
    {
        QString shownFolder;
        QString localFolder;
        QString namePrefix;
    };
    static bool SplitTyped(const QString &typed, Split *split);

    // How many times a folder was read from the disk (for tests).
    int listings() const { return listings_; }

private:
    struct Entry
    {
        QString name;   // folders with a trailing "/"
        QString folded; // the name with letter case folded, for matching
        bool hidden = false;
    };
    static void ReadFolder(const QString &folder, QList<Entry> *entries);
    const QList<Entry> &Listing(const QString &folder);

    QString folder_;
    QDateTime folderModified_;
    QDateTime listedAt_;
    QList<Entry> entries_;
    int listings_ = 0;
};
