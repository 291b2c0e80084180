#include "registry_posix.h"
#include "sysinfo_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace sysinfo {

Registry &NativeRegistry()
{
    static ToolSearchRegistry registry;
    return registry;
}

bool NativeFileIsOrdinary(const std::string &path)
{
    struct stat info;
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    // A name that begins with a dot is a hidden file here.
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return !name.empty() && name[0] != '.';
}

bool NativeStartProgram(const std::string &path)
{
    if (path.empty())
        return false;

    // The program is started from a grandchild, so it belongs to no one here
    // and nothing has to wait for it; the child in between is reaped at once.
    // A failed exec is reported back through a pipe that a successful exec
    // closes.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;

    const char *file = path.c_str();
    char *const argv[] = {const_cast<char *>(file), nullptr};

    const pid_t middle = ::fork();
    if (middle < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (middle == 0) {
        ::close(report[0]);
        const pid_t tool = ::fork();
        if (tool != 0) {
            if (tool < 0) {
                const int error = errno;
                (void)!::write(report[1], &error, sizeof error);
            }
            ::_exit(0);
        }
        ::setsid();
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execv(file, argv);
        const int error = errno;
        (void)!::write(report[1], &error, sizeof error);
        ::_exit(127);
    }

    ::close(report[1]);
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    do {
        got = ::read(report[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    ::close(report[0]);
    return got == 0;
}

} // namespace sysinfo
