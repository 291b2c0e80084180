#include "registry_win.h"

#include <windows.h>

namespace sysinfo {
namespace {

HKEY ToHkey(RegHandle handle)
{
    if (handle == kHkeyLocalMachine)
        return HKEY_LOCAL_MACHINE;
    return reinterpret_cast<HKEY>(handle);
}

} // namespace

long WinRegistry::OpenKey(RegHandle root, const std::string &subKey, std::uint32_t options,
                          std::uint32_t access, RegHandle &key)
{
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExA(ToHkey(root), subKey.c_str(), options, access, &opened);
    if (result == ERROR_SUCCESS)
        key = reinterpret_cast<RegHandle>(opened);
    return result;
}

long WinRegistry::QueryValue(RegHandle key, const std::string &valueName, std::uint32_t &type,
                             unsigned char *data, std::uint32_t &size)
{
    DWORD valueType = 0;
    DWORD dataSize = size;
    const LONG result =
        ::RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, &valueType, data, &dataSize);
    type = valueType;
    size = dataSize;
    return result;
}

long WinRegistry::CloseKey(RegHandle key)
{
    return ::RegCloseKey(ToHkey(key));
}

} // namespace sysinfo
