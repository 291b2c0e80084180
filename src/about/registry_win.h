#pragma once

#include "registry.h"

namespace sysinfo {

// The system registry, through advapi32's RegOpenKeyExA, RegQueryValueExA
// and RegCloseKey.
class WinRegistry : public Registry
{
public:
    long OpenKey(RegHandle root, const std::string &subKey, std::uint32_t options,
                 std::uint32_t access, RegHandle &key) override;
    long QueryValue(RegHandle key, const std::string &valueName, std::uint32_t &type,
                    unsigned char *data, std::uint32_t &size) override;
    long CloseKey(RegHandle key) override;
};

} // namespace sysinfo
