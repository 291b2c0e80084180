// Runs the system information launcher against the Windows registry, for the
// test that drives it under Wine. Prints what happened on standard output.
//   sysinfo_driver get <key> <value>: GetKeyValue below HKEY_LOCAL_MACHINE,
//       KeyVal starting as "as passed"; prints "result=true|false|failure"
//       and "keyval=<hex of the bytes>".
//   sysinfo_driver start: StartSysInfo; prints "message=<text>" for each
//       message shown, then "returned".
//   sysinfo_driver setraw <key> <value> <type> <hex bytes>: stores exactly
//       these bytes.

#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <windows.h>

int main(int argc, char **argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "get" && argc == 4) {
        std::string keyVal = "as passed";
        const char *result = "failure";
        try {
            result = sysinfo::GetKeyValue(sysinfo::NativeRegistry(), sysinfo::kHkeyLocalMachine,
                                          argv[2], argv[3], keyVal)
                         ? "true"
                         : "false";
        } catch (const sysinfo::ReadFailure &) {
        }
        std::printf("result=%s\nkeyval=", result);
        for (unsigned char c : keyVal)
            std::printf("%02x", c);
        return std::printf("\n") < 0;
    }
    if (command == "start" && argc == 2) {
        sysinfo::StartSysInfo(sysinfo::NativeRegistry(),
                              sysinfo::NativePlatform([](const std::string &text) {
                                  std::printf("message=%s\n", text.c_str());
                              }));
        return std::printf("returned\n") < 0;
    }
    if (command != "setraw" || argc != 6)
        return 1;
    std::string bytes;
    for (const char *hex = argv[5]; hex[0] && hex[1]; hex += 2)
        bytes += char(std::strtoul(std::string(hex, 2).c_str(), nullptr, 16));
    HKEY key = nullptr;
    return ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, argv[2], 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                             &key, nullptr) != ERROR_SUCCESS ||
           ::RegSetValueExA(key, argv[3], 0, std::strtoul(argv[4], nullptr, 10),
                            reinterpret_cast<const BYTE *>(bytes.data()),
                            DWORD(bytes.size())) != ERROR_SUCCESS;
}
