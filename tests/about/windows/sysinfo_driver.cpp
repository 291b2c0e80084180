// Runs the system information launcher against the Windows registry, for the
// test that drives it under Wine: prints what GetKeyValue reads ("<result>
// <length> <text>"), then each message StartSysInfo shows, then whether an
// empty path counts as started.

#include "sysinfo_launcher.h"
#include "sysinfo_platform.h"

#include <cstdio>

int main()
{
    using namespace sysinfo;
    std::string keyVal;
    const bool read =
        GetKeyValue(NativeRegistry(), kHkeyLocalMachine, kToolKey, kToolValue, keyVal);
    std::printf("%d %zu %s\n", read, keyVal.size(), keyVal.c_str());
    StartSysInfo(NativeRegistry(), NativePlatform([](const std::string &text) {
                     std::printf("%s\n", text.c_str());
                 }));
    std::printf("%d\n", NativePlatform(nullptr).startProgram(""));
}
