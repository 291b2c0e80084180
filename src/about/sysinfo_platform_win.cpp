#include "registry_win.h"
#include "sysinfo_platform.h"

#include <windows.h>

namespace sysinfo {

Registry &NativeRegistry()
{
    static WinRegistry registry;
    return registry;
}

bool NativeFileIsOrdinary(const std::string &path)
{
    if (path.empty())
        return false;
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD notOrdinary =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (attributes & notOrdinary) == 0;
}

bool NativeStartProgram(const std::string &path)
{
    if (path.empty())
        return false;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    // The whole text names the program; the command line repeats it, quoted,
    // and passes nothing else.
    std::string commandLine = "\"" + path + "\"";
    if (!::CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

} // namespace sysinfo
