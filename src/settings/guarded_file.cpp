#include "guarded_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace guardedfile {
namespace {

QString cause(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

[[noreturn]] void failRead(const Kind &kind, const QString &path, const QString &why)
{
    throw FileError(QStringLiteral("The %1 %2 cannot be read: %3.").arg(kind.noun, path, why));
}

[[noreturn]] void failWrite(const Kind &kind, const QString &path, const QString &why)
{
    throw FileError(QStringLiteral("The %1 %2 cannot be written: %3.").arg(kind.noun, path, why));
}

[[noreturn]] void refuseLink(const Kind &kind, const QString &path, const QString &target,
                             const QString &why)
{
    throw FileError(
        QStringLiteral("The %1 %2 is a link to %3, %4; nothing was read or written through it.")
            .arg(kind.noun, path, target, why));
}

class FdGuard
{
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FdGuard(const FdGuard &) = delete;
    FdGuard &operator=(const FdGuard &) = delete;
    int get() const { return fd_; }
    // Closes now and reports the error close gave, if any (0 when none).
    int close()
    {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }

private:
    int fd_;
};

int openRetrying(const QByteArray &path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int writeWhole(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        p += n;
        left -= n;
    }
    return 0;
}

int syncFolder(const QString &folder)
{
    const int fd = openRetrying(native(folder), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return errno;
    FdGuard guard(fd);
    // Some file systems cannot flush a folder; the data itself is flushed.
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        return errno;
    return 0;
}

// Creates the folder and any missing parents, as ~/.config may not exist yet.
void makeFolder(const Kind &kind, const QString &file, const QString &folder)
{
    struct stat st;
    if (::stat(native(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return;
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix = folder.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral(".");
    for (const QString &part : parts) {
        const QString parent = prefix.isEmpty() ? QStringLiteral("/") : prefix;
        prefix += QLatin1Char('/') + part;
        const QByteArray p = native(prefix);
        if (::mkdir(p.constData(), 0700) == 0) {
            syncFolder(parent);
            continue;
        }
        int err = errno;
        if (err == EEXIST) {
            if (::stat(p.constData(), &st) == 0 && S_ISDIR(st.st_mode))
                continue;
            err = ENOTDIR;
        }
        failWrite(kind, file,
                  QStringLiteral("the folder %1 cannot be made (%2)").arg(prefix, cause(err)));
    }
}

// Reads target (path's bytes) up to the bound. A link's target is checked
// again on the open file, so swapping it after Target() looked gains nothing.
Contents readTarget(const Kind &kind, const QString &path, const QString &target)
{
    Contents contents;
    // Not blocking: a pipe put where the file should be must not hang us.
    const int fd = openRetrying(native(target), O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT && target == path)
            return contents;
        failRead(kind, path, cause(errno));
    }
    FdGuard guard(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0)
        failRead(kind, path, cause(errno));
    if (S_ISDIR(st.st_mode))
        failRead(kind, path, cause(EISDIR));
    if (!S_ISREG(st.st_mode))
        failRead(kind, path, QStringLiteral("it is not a regular file"));
    if (target != path && st.st_uid != ::geteuid())
        refuseLink(kind, path, target, QStringLiteral("which belongs to another user"));
    contents.exists = true;
    contents.size = qint64(st.st_size);
    contents.mode = st.st_mode & 07777;
    contents.uid = st.st_uid;
    contents.gid = st.st_gid;
    if (contents.size > kind.maxSize) {
        contents.tooLarge = true;
        return contents;
    }
    try {
        contents.bytes.reserve(qsizetype(contents.size));
        char buffer[1 << 16];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                failRead(kind, path, cause(errno));
            }
            if (n == 0)
                break;
            // The file may grow while it is read.
            if (contents.bytes.size() + n > kind.maxSize) {
                contents.size = contents.bytes.size() + n;
                contents.tooLarge = true;
                contents.bytes.clear();
                contents.bytes.squeeze();
                return contents;
            }
            contents.bytes.append(buffer, qsizetype(n));
        }
    } catch (const std::bad_alloc &) {
        failRead(kind, path,
                 QStringLiteral("there is not enough memory for its %1 bytes").arg(contents.size));
    }
    return contents;
}

QString damagedName(const QString &target, int attempt)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = target + QStringLiteral(".damaged-") + stamp;
    return attempt == 1 ? base : base + QLatin1Char('-') + QString::number(attempt);
}

} // namespace

QString Target(const Kind &kind, const QString &path)
{
    const QByteArray p = native(path);
    struct stat st;
    if (::lstat(p.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    // Where the link leads, for the message, even when that does not exist.
    QString leadsTo = QFileInfo(path).symLinkTarget();
    // A link someone else put there (in a folder others may write to) is
    // theirs to aim, even at a file of ours.
    if (st.st_uid != ::geteuid())
        refuseLink(kind, path, leadsTo, QStringLiteral("a link made by another user"));
    char resolved[PATH_MAX];
    if (::realpath(p.constData(), resolved) == nullptr) {
        const int err = errno;
        refuseLink(kind, path, leadsTo,
                   err == ENOENT ? QStringLiteral("which does not exist")
                                 : QStringLiteral("which cannot be followed (%1)").arg(cause(err)));
    }
    leadsTo = QFile::decodeName(resolved);
    if (::stat(resolved, &st) != 0)
        refuseLink(kind, path, leadsTo,
                   QStringLiteral("which cannot be examined (%1)").arg(cause(errno)));
    if (!S_ISREG(st.st_mode))
        refuseLink(kind, path, leadsTo, QStringLiteral("which is not a regular file"));
    if (st.st_uid != ::geteuid())
        refuseLink(kind, path, leadsTo, QStringLiteral("which belongs to another user"));
    return leadsTo;
}

Contents Read(const Kind &kind, const QString &path)
{
    return readTarget(kind, path, Target(kind, path));
}

QString TooLargeText(const Kind &kind, const QString &path, qint64 size)
{
    return QStringLiteral("The %1 %2 is %3 bytes long, more than the %4 bytes such a file may "
                          "hold, and is not read.")
        .arg(kind.noun, path, QString::number(size), QString::number(kind.maxSize));
}

Change::Change(const Kind &kind, const QString &path) : kind_(kind), path_(path)
{
    target_ = Target(kind_, path_);
    folder_ = QFileInfo(target_).absolutePath();
    // A link's target exists, and so does its folder.
    if (target_ == path_)
        makeFolder(kind_, path_, folder_);
    struct stat st;
    // A folder of the program's own is made private; a link's folder (the
    // user's dotfiles, say) is left as the user keeps it.
    if (kind_.privateAlways && target_ == path_ && ::stat(native(folder_).constData(), &st) == 0 &&
        st.st_uid == ::geteuid() && (st.st_mode & 077) != 0)
        ::chmod(native(folder_).constData(), st.st_mode & 0700);

    const QString lockPath = target_ + QStringLiteral(".lock");
    lockFd_ = openRetrying(native(lockPath), O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
    // A lock file that another user left (a run with sudo, say) in a folder
    // that lets us remove it is made anew: it holds nothing.
    if (lockFd_ < 0 && errno == EACCES && ::unlink(native(lockPath).constData()) == 0)
        lockFd_ = openRetrying(native(lockPath), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (lockFd_ < 0)
        failWrite(
            kind_, path_,
            QStringLiteral("its lock file %1 cannot be opened (%2)").arg(lockPath, cause(errno)));
    while (::flock(lockFd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const int err = errno;
            ::close(lockFd_);
            lockFd_ = -1;
            failWrite(
                kind_, path_,
                QStringLiteral("its lock file %1 cannot be locked (%2)").arg(lockPath, cause(err)));
        }
    }

    try {
        // Only a writer holding the lock makes temporary files, so any that
        // are there now were left by one that died.
        const QByteArray prefix = native(QFileInfo(target_).fileName()) + ".tmp-";
        if (DIR *dir = ::opendir(native(folder_).constData())) {
            while (const dirent *entry = ::readdir(dir)) {
                const size_t length = std::strlen(entry->d_name);
                if (length == size_t(prefix.size()) + 6 &&
                    std::strncmp(entry->d_name, prefix.constData(), size_t(prefix.size())) == 0)
                    ::unlinkat(::dirfd(dir), entry->d_name, 0);
            }
            ::closedir(dir);
        }
        contents_ = readTarget(kind_, path_, target_);
    } catch (...) {
        ::close(lockFd_);
        lockFd_ = -1;
        throw;
    }
}

Change::~Change()
{
    if (lockFd_ >= 0)
        ::close(lockFd_);
}

QString Change::KeepAside()
{
    for (int attempt = 1;; ++attempt) {
        const QString copy = damagedName(target_, attempt);
        const QByteArray c = native(copy);
        const auto failed = [&](int err) {
            failWrite(kind_, path_,
                      QStringLiteral("a copy of the damaged file cannot be kept as %1 (%2)")
                          .arg(copy, cause(err)));
        };
        if (contents_.tooLarge) {
            // Too large to copy: the file gets a second name, which keeps it
            // when the first is replaced.
            if (::link(native(target_).constData(), c.constData()) == 0)
                return copy;
            if (errno == EEXIST && attempt < 1000)
                continue;
            failed(errno);
        }
        const int fd = openRetrying(c, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST && attempt < 1000)
                continue;
            failed(errno);
        }
        FdGuard guard(fd);
        int err = writeWhole(fd, contents_.bytes);
        if (err == 0 && ::fsync(fd) != 0)
            err = errno;
        if (err == 0)
            err = guard.close();
        if (err != 0) {
            ::unlink(c.constData());
            failed(err);
        }
        return copy;
    }
}

void Change::Replace(const QByteArray &bytes)
{
    QByteArray temp = native(target_) + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        failWrite(kind_, path_,
                  QStringLiteral("a temporary file cannot be made in %1 (%2)")
                      .arg(folder_, cause(errno)));
    FdGuard guard(fd);
    // A file the user links to keeps its mode; a private kind's own file
    // is made private whatever it was.
    const bool keep = contents_.exists && (!kind_.privateAlways || target_ != path_);
    int err = writeWhole(fd, bytes);
    if (err == 0 && ::fchmod(fd, keep ? contents_.mode : 0600) != 0)
        err = errno;
    // The owner is kept where the system lets us (it does for root). A file
    // that another user left (a run with sudo, say) in a folder that lets us
    // replace it becomes ours.
    if (err == 0 && keep && (contents_.uid != ::geteuid() || contents_.gid != ::getegid()) &&
        ::fchown(fd, contents_.uid, contents_.gid) != 0) {
    }
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (err == 0)
        err = guard.close();
    if (err == 0 && ::rename(temp.constData(), native(target_).constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.constData());
        failWrite(kind_, path_, cause(err));
    }
    err = syncFolder(folder_);
    if (err != 0)
        failWrite(kind_, path_,
                  QStringLiteral("its folder cannot be flushed to the disk (%1)").arg(cause(err)));
}

} // namespace guardedfile
