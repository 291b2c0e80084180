#include "sysinfo_platform.h"

#include <utility>

namespace sysinfo {

Platform NativePlatform(std::function<void(const std::string &text)> showMessage)
{
    Platform platform;
    platform.fileIsOrdinary = NativeFileIsOrdinary;
    platform.startProgram = NativeStartProgram;
    platform.showMessage = std::move(showMessage);
    return platform;
}

} // namespace sysinfo
