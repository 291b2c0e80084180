// Runs the system information launcher against the Windows registry, for the
// test that drives it under Wine: stores its argument as the tool's value,
// prints what GetKeyValue reads ("<result> <length> <text>"), then each
// message StartSysInfo shows.

#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"

#include <cstdio>
#include <cstring>
#include <windows.h>

int main(int argc, char **argv)
{
    using namespace sysinfo;
    HKEY key = nullptr;
    if (argc != 2 ||
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kToolKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                          nullptr) != ERROR_SUCCESS ||
        ::RegSetValueExA(key, kToolValue, 0, REG_SZ, reinterpret_cast<const BYTE *>(argv[1]),
                         DWORD(std::strlen(argv[1]) + 1)) != ERROR_SUCCESS)
        return 1;
    std::string keyVal;
    const bool read =
        GetKeyValue(NativeRegistry(), kHkeyLocalMachine, kToolKey, kToolValue, keyVal);
    std::printf("%d %zu %s\n", read, keyVal.size(), keyVal.c_str());
    StartSysInfo(NativeRegistry(), NativePlatform([](const std::string &text) {
                     std::printf("%s\n", text.c_str());
                 }));
}
