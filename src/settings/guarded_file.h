#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// A file of the program's that cannot be read or written. The message names
// the file and the cause.
class FileError : public Failure
{
public:
    using Failure::Failure;
};

// The careful reading and replacing shared by the settings file and the
// address lists.
//
// - A file that is a symbolic link is read and written through only when the
//   link leads to a regular file owned by the user running the program; the
//   link then stays a link and the file keeps its owner and mode. Any other
//   link is refused before anything is created (no folder, no lock file, no
//   copy) and the message names the link and where it leads.
// - Reading stops at a size bound; a larger file is not parsed at all.
// - A change is read-modify-replace under an exclusive lock on
//   "<file>.lock": a temporary file beside the file, flushed, renamed over
//   it, the folder flushed. A crash leaves the old file or the new one; two
//   running copies never lose each other's changes. Temporary files left by
//   a writer that died are removed by the next writer.
namespace guardedfile {

struct Kind
{
    QString noun;       // "settings file", "address list": used in messages
    qint64 maxSize;     // a larger file is refused
    bool privateAlways; // rewritten 0600 in a 0700 folder, whatever it was
                        // (unless it is reached through a link)
};

struct Contents
{
    bool exists = false;
    bool tooLarge = false; // bytes is then empty
    qint64 size = 0;       // as the file system tells it
    QByteArray bytes;
    mode_t mode = 0600;
    uid_t uid = 0;
    gid_t gid = 0;
};

// The file bytes are read from and written to: path itself, or the file an
// acceptable link leads to. Throws FileError for a refused link.
QString Target(const Kind &kind, const QString &path);

// Reads the file (an absent file gives exists == false). Throws FileError.
Contents Read(const Kind &kind, const QString &path);

// "The settings file <path> is N bytes ..." for a file over the bound.
QString TooLargeText(const Kind &kind, const QString &path, qint64 size);

// One read-modify-replace of a file, holding its lock while it lives.
class Change
{
public:
    // Checks the path, makes missing folders, takes the lock, removes stale
    // temporary files and reads the file. Throws FileError.
    Change(const Kind &kind, const QString &path);
    ~Change();
    Change(const Change &) = delete;
    Change &operator=(const Change &) = delete;

    const Contents &contents() const { return contents_; }

    // Keeps the present file beside it as "<file>.damaged-<time>" (a copy, or
    // for a file too large to copy, a second name); returns that path.
    QString KeepAside();

    // Replaces the file with bytes; on return they are on the disk.
    void Replace(const QByteArray &bytes);

private:
    Kind kind_;
    QString path_;
    QString target_;
    QString folder_;
    int lockFd_ = -1;
    Contents contents_;
};

} // namespace guardedfile
