#include "settings_store.h"

#include "msgbox.h"
#include "settings_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The file is rewritten whole on each write: read it, change one line, write
// a temporary file in the same folder, flush it to the disk, rename it over
// the old one and flush the folder. A crash at any point leaves the old file
// or the new one. Writers hold an exclusive lock on "<file>.lock" from the
// read to the rename, so two running copies never lose each other's entries;
// readers need no lock, since the file is only ever replaced whole.
namespace {

QString cause(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

[[noreturn]] void failRead(const QString &path, const QString &why)
{
    throw SettingsError(QStringLiteral("The settings file %1 cannot be read: %2.").arg(path, why));
}

[[noreturn]] void failWrite(const QString &path, const QString &why)
{
    throw SettingsError(
        QStringLiteral("The settings file %1 cannot be written: %2.").arg(path, why));
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
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

// Reads the whole file into *out; *mode gets its permissions, or stays
// unset when there is no file. Returns the cause of a failure, or an empty
// text.
QString readWhole(const QString &path, QByteArray *out, std::optional<mode_t> *mode)
{
    out->clear();
    mode->reset();
    // Not blocking: a pipe put where the file should be must not hang us.
    const int fd = openRetrying(native(path), O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? QString() : cause(errno);
    FdGuard guard(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return cause(errno);
    if (S_ISDIR(st.st_mode))
        return cause(EISDIR);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("it is not a regular file");
    if (st.st_size > 0)
        out->reserve(qsizetype(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return cause(errno);
        }
        if (n == 0)
            break;
        out->append(buffer, qsizetype(n));
    }
    *mode = st.st_mode & 07777;
    return QString();
}

// The file a write goes to: when the settings file is a symbolic link (kept
// with the user's other dotfiles, say), the file it points to, so that the
// link stays a link.
QString writeTarget(const QString &path)
{
    QString target = path;
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink())
            break;
        target = info.symLinkTarget();
    }
    return target;
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
void makeFolder(const QString &file, const QString &folder)
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
        failWrite(file,
                  QStringLiteral("the folder %1 cannot be made (%2)").arg(prefix, cause(err)));
    }
}

// Keeps the damaged file's bytes beside it; returns the copy's path. (file
// names the store in messages; target is where its bytes live.)
QString keepCopy(const QString &file, const QString &target, const QByteArray &bytes)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = target + QStringLiteral(".damaged-") + stamp;
    for (int attempt = 1;; ++attempt) {
        const QString copy =
            attempt == 1 ? base : base + QLatin1Char('-') + QString::number(attempt);
        const int fd = openRetrying(native(copy), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0) {
            if (errno == EEXIST && attempt < 1000)
                continue;
            failWrite(file, QStringLiteral("a copy of the damaged file cannot be kept as %1 (%2)")
                                .arg(copy, cause(errno)));
        }
        FdGuard guard(fd);
        int err = writeWhole(fd, bytes);
        if (err == 0 && ::fsync(fd) != 0)
            err = errno;
        if (err == 0)
            err = guard.close();
        if (err != 0) {
            ::unlink(native(copy).constData());
            failWrite(file, QStringLiteral("a copy of the damaged file cannot be kept as %1 (%2)")
                                .arg(copy, cause(err)));
        }
        return copy;
    }
}

// Replaces file by bytes: temporary file, flush, rename, flush the folder.
void replaceFile(const QString &file, const QString &target, const QString &folder,
                 const QByteArray &bytes, std::optional<mode_t> mode)
{
    QByteArray temp = native(target) + ".tmp-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        failWrite(
            file,
            QStringLiteral("a temporary file cannot be made in %1 (%2)").arg(folder, cause(errno)));
    FdGuard guard(fd);
    int err = writeWhole(fd, bytes);
    if (err == 0 && mode && ::fchmod(fd, *mode) != 0)
        err = errno;
    if (err == 0 && ::fsync(fd) != 0)
        err = errno;
    if (err == 0)
        err = guard.close();
    if (err == 0 && ::rename(temp.constData(), native(target).constData()) != 0)
        err = errno;
    if (err != 0) {
        ::unlink(temp.constData());
        failWrite(file, cause(err));
    }
    err = syncFolder(folder);
    if (err != 0)
        failWrite(file,
                  QStringLiteral("its folder cannot be flushed to the disk (%1)").arg(cause(err)));
}

// An exclusive lock on "<target>.lock", held while the object lives.
class WriteLock
{
public:
    WriteLock(const QString &file, const QString &target)
        : guard_(openRetrying(native(target + QStringLiteral(".lock")), O_RDWR | O_CREAT, 0600))
    {
        if (guard_.get() < 0)
            failWrite(file, QStringLiteral("its lock file %1.lock cannot be opened (%2)")
                                .arg(target, cause(errno)));
        while (::flock(guard_.get(), LOCK_EX) != 0) {
            if (errno != EINTR)
                failWrite(file, QStringLiteral("its lock file %1.lock cannot be locked (%2)")
                                    .arg(target, cause(errno)));
        }
    }

private:
    FdGuard guard_;
};

} // namespace

QString SettingsStore::DefaultPath()
{
    // XDG: a relative XDG_CONFIG_HOME is to be ignored.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            home = QDir::homePath();
        base = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(base + QStringLiteral("/pagecrier/pagecrier.ini"));
}

SettingsStore::SettingsStore(const QString &filePath) : path_(filePath)
{}

QString SettingsStore::ReadSetting(const QString &appName, const QString &section,
                                   const QString &key, const QString &def) const
{
    QByteArray bytes;
    std::optional<mode_t> mode;
    const QString why = readWhole(path_, &bytes, &mode);
    if (!why.isEmpty())
        failRead(path_, why);
    if (!mode)
        return def;
    return settingsfile::Parse(bytes).Find(appName, section, key).value_or(def);
}

void SettingsStore::WriteSetting(const QString &appName, const QString &section, const QString &key,
                                 const QString &value)
{
    // Told after the lock is let go, so a message left open on the screen
    // does not hold up another running copy.
    QString notice;
    try {
        const QString target = writeTarget(path_);
        const QString folder = QFileInfo(target).absolutePath();
        makeFolder(path_, folder);
        WriteLock lock(path_, target);

        QByteArray bytes;
        std::optional<mode_t> mode;
        const QString why = readWhole(target, &bytes, &mode);
        if (!why.isEmpty())
            failRead(path_, why);

        settingsfile::Document doc = settingsfile::Parse(bytes);
        if (doc.damaged()) {
            const QString copy = keepCopy(path_, target, bytes);
            notice = QStringLiteral("The settings file %1 was damaged: %2 line(s) could not be "
                                    "read and are left out from now on. The entries that could "
                                    "be read are kept. A copy of the damaged file was saved as "
                                    "%3.")
                         .arg(path_, QString::number(doc.problems.size()), copy);
        }
        doc.Set(appName, section, key, value);
        replaceFile(path_, target, folder, settingsfile::Serialize(doc), mode);
    } catch (...) {
        if (!notice.isEmpty())
            msgbox::Show(notice, msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        throw;
    }
    if (!notice.isEmpty())
        msgbox::Show(notice, msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
}
