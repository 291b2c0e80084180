// Runs the system information launcher against the Windows registry, for the
// test that drives it under Wine. Prints what happened on standard output.
//
//   sysinfo_driver get <key> <value> <initial>
//       GetKeyValue below HKEY_LOCAL_MACHINE, KeyVal starting as <initial>;
//       prints "result=true|false|failure" and "keyval=<hex of the bytes>".
//   sysinfo_driver start
//       StartSysInfo; prints "message=<text>" for each message shown, then
//       "returned".
//   sysinfo_driver setraw <key> <value> <type> <hex bytes>
//       Stores exactly these bytes (the registry tool always adds a
//       terminating zero to text); prints "stored".

#include "registry.h"
#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <windows.h>

namespace {

std::string Hex(const std::string &bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += digits[c >> 4];
        hex += digits[c & 0x0F];
    }
    return hex;
}

std::string Unhex(const std::string &hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return bytes;
}

int Get(const std::string &key, const std::string &value, const std::string &initial)
{
    std::string keyVal = initial;
    const char *result = "false";
    try {
        result = sysinfo::GetKeyValue(sysinfo::NativeRegistry(), sysinfo::kHkeyLocalMachine, key,
                                      value, keyVal)
                     ? "true"
                     : "false";
    } catch (const sysinfo::ReadFailure &) {
        result = "failure";
    }
    std::printf("result=%s\nkeyval=%s\n", result, Hex(keyVal).c_str());
    return 0;
}

int Start()
{
    sysinfo::StartSysInfo(sysinfo::NativeRegistry(),
                          sysinfo::NativePlatform([](const std::string &text) {
                              std::printf("message=%s\n", text.c_str());
                          }));
    std::printf("returned\n");
    return 0;
}

int SetRaw(const std::string &key, const std::string &value, unsigned long type,
           const std::string &hex)
{
    HKEY opened = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                          &opened, nullptr) != ERROR_SUCCESS)
        return 2;
    const std::string bytes = Unhex(hex);
    const LONG result =
        ::RegSetValueExA(opened, value.c_str(), 0, type,
                         reinterpret_cast<const BYTE *>(bytes.data()), DWORD(bytes.size()));
    ::RegCloseKey(opened);
    if (result != ERROR_SUCCESS)
        return 2;
    std::printf("stored\n");
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "get" && argc == 5)
        return Get(argv[2], argv[3], argv[4]);
    if (command == "start" && argc == 2)
        return Start();
    if (command == "setraw" && argc == 6)
        return SetRaw(argv[2], argv[3], std::strtoul(argv[4], nullptr, 10), argv[5]);
    std::fprintf(stderr, "usage: sysinfo_driver get|start|setraw ...\n");
    return 1;
}
