#include "registry_posix.h"

#include "sysinfo_launcher.h"

#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace sysinfo {
namespace {

constexpr RegHandle kToolKeyHandle = 1;

bool SameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool IsExecutableFile(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

} // namespace

const std::vector<std::string> &KnownTools()
{
    static const std::vector<std::string> tools{"hardinfo2", "hardinfo", "kinfocenter", "cpu-x"};
    return tools;
}

std::string FindTool(const std::vector<std::string> &tools, const std::string &searchPath)
{
    std::vector<std::string> folders;
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const auto colon = searchPath.find(':', start);
        const auto end = colon == std::string::npos ? searchPath.size() : colon;
        std::string folder = searchPath.substr(start, end - start);
        if (!folder.empty() && folder[0] == '/') {
            while (folder.size() > 1 && folder.back() == '/')
                folder.pop_back();
            folders.push_back(folder);
        }
        start = end + 1;
    }

    for (const auto &tool : tools) {
        for (const auto &folder : folders) {
            const std::string candidate = (folder == "/" ? "" : folder) + "/" + tool;
            if (IsExecutableFile(candidate))
                return candidate;
        }
    }
    return std::string();
}

long ToolSearchRegistry::OpenKey(RegHandle root, const std::string &subKey,
                                 std::uint32_t /*options*/, std::uint32_t access, RegHandle &key)
{
    if (root != kHkeyLocalMachine || !SameName(subKey, kToolKey))
        return kErrorFileNotFound;
    if (access & kKeyWriteRights)
        return kErrorAccessDenied;
    key = kToolKeyHandle;
    return kErrorSuccess;
}

long ToolSearchRegistry::QueryValue(RegHandle key, const std::string &valueName,
                                    std::uint32_t &type, unsigned char *data, std::uint32_t &size)
{
    if (key != kToolKeyHandle || !SameName(valueName, kToolValue))
        return kErrorFileNotFound;
    const char *searchPath = std::getenv("PATH");
    const std::string tool = FindTool(KnownTools(), searchPath ? searchPath : "");
    if (tool.empty())
        return kErrorFileNotFound;

    // Stored as a text value with its terminating zero byte.
    const auto needed = static_cast<std::uint32_t>(tool.size() + 1);
    type = kRegSz;
    if (needed > size) {
        size = needed;
        return kErrorMoreData;
    }
    std::memcpy(data, tool.c_str(), needed);
    size = needed;
    return kErrorSuccess;
}

long ToolSearchRegistry::CloseKey(RegHandle /*key*/)
{
    return kErrorSuccess;
}

} // namespace sysinfo
