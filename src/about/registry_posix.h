#pragma once

#include "registry.h"

#include <string>
#include <vector>

namespace sysinfo {

// The system information programs looked for on PATH, in order.
const std::vector<std::string> &KnownTools();

// The full path of the first of tools found as an executable file in a
// folder of searchPath (a PATH-style list of folders separated by ':';
// empty and relative entries are skipped). Empty when none is found.
std::string FindTool(const std::vector<std::string> &tools, const std::string &searchPath);

// Stands in for the registry on systems that have none. The tool's key
// "SOFTWARE\Microsoft\Shared Tools\MSINFO" answers its value "PATH" with the
// first of KnownTools() found on the PATH of the moment, and reports the
// value missing when none is installed. Every other key, the tool folder's
// included, is missing. Like HKEY_LOCAL_MACHINE for an ordinary user, it
// refuses keys opened with write rights.
class ToolSearchRegistry : public Registry
{
public:
    long OpenKey(RegHandle root, const std::string &subKey, std::uint32_t options,
                 std::uint32_t access, RegHandle &key) override;
    long QueryValue(RegHandle key, const std::string &valueName, std::uint32_t &type,
                    unsigned char *data, std::uint32_t &size) override;
    long CloseKey(RegHandle key) override;
};

} // namespace sysinfo
