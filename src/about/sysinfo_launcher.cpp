#include "sysinfo_launcher.h"

#include <array>
#include <cstdint>

namespace sysinfo {
namespace {

// The hexadecimal text of the number held by bytes (least significant
// first), upper case, without leading zeros.
std::string HexOfLittleEndian(const std::string &bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        const auto byte = static_cast<unsigned char>(*it);
        hex += digits[byte >> 4];
        hex += digits[byte & 0x0F];
    }
    const auto first = hex.find_first_not_of('0');
    return first == std::string::npos ? std::string("0") : hex.substr(first);
}

} // namespace

bool GetKeyValue(Registry &registry, const RegHandle &KeyRoot, const std::string &KeyName,
                 const std::string &SubKeyRef, std::string &KeyVal)
{
    // Read access is all the launcher needs; asking for write rights as well
    // would be refused to ordinary users under HKEY_LOCAL_MACHINE.
    RegHandle key = 0;
    if (registry.OpenKey(KeyRoot, KeyName, 0, kKeyRead, key) != kErrorSuccess) {
        KeyVal.clear();
        return false;
    }

    std::array<unsigned char, kValueBufferSize> buffer{};
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    std::uint32_t type = kRegNone;
    if (registry.QueryValue(key, SubKeyRef, type, buffer.data(), size) != kErrorSuccess) {
        KeyVal.clear();
        registry.CloseKey(key);
        return false;
    }

    if (size == 0) {
        registry.CloseKey(key);
        throw ReadFailure("The registry value " + SubKeyRef + " holds no data.");
    }
    if (size > buffer.size()) {
        // A backend that reports more bytes than it was given room for has
        // not filled the buffer; treat the value as unreadable.
        KeyVal.clear();
        registry.CloseKey(key);
        return false;
    }

    // The bytes are text in the system's 8-bit code page, kept as they are.
    std::size_t length = size;
    if (buffer[length - 1] == 0)
        --length;
    const std::string text(reinterpret_cast<const char *>(buffer.data()), length);

    switch (type) {
    case kRegSz:
        KeyVal = text;
        break;
    case kRegDword:
        KeyVal = "&h" + HexOfLittleEndian(text);
        break;
    default:
        break;
    }

    registry.CloseKey(key);
    return true;
}

void StartSysInfo(Registry &registry, const Platform &platform)
{
    // Every way in which the tool cannot be started, a failure raised on the
    // way included, ends in the same single message.
    const auto tryStart = [&]() -> bool {
        std::string path;
        const RegHandle root = kHkeyLocalMachine;
        if (!GetKeyValue(registry, root, kToolKey, kToolValue, path)) {
            if (!GetKeyValue(registry, root, kToolFolderKey, kToolFolderValue, path))
                return false;
            path += kToolFileName;
            if (!platform.fileIsOrdinary(path))
                return false;
        }
        return platform.startProgram(path);
    };

    bool started = false;
    try {
        started = tryStart();
    } catch (...) {
        started = false;
    }
    if (!started)
        platform.showMessage(kUnavailableMessage);
}

} // namespace sysinfo
