#pragma once

// The small registry layer the system information launcher reads through.
// Plain C++ with no Qt, so the launcher builds for Windows as well as here.
// The calls mirror the platform's registry functions: an open with options
// and an access mask that hands back a key, a query that fills a caller's
// buffer with the value's type and bytes, and a close.

#include <cstddef>
#include <cstdint>
#include <string>

namespace sysinfo {

// A key handle: a root key's fixed number or a key opened by OpenKey.
using RegHandle = std::uintptr_t;

// The root the launcher reads under, with its platform number.
inline constexpr RegHandle kHkeyLocalMachine = 0x80000002u;

// Result codes, as the platform's registry functions return them.
inline constexpr long kErrorSuccess = 0;
inline constexpr long kErrorFileNotFound = 2;
inline constexpr long kErrorAccessDenied = 5;
inline constexpr long kErrorMoreData = 234;

// Value types.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

// Access rights. Reading needs only kKeyRead; kKeyWriteRights are the rights
// an ordinary user is refused under HKEY_LOCAL_MACHINE.
inline constexpr std::uint32_t kKeyQueryValue = 0x0001;
inline constexpr std::uint32_t kKeySetValue = 0x0002;
inline constexpr std::uint32_t kKeyCreateSubKey = 0x0004;
inline constexpr std::uint32_t kKeyEnumerateSubKeys = 0x0008;
inline constexpr std::uint32_t kKeyNotify = 0x0010;
inline constexpr std::uint32_t kKeyCreateLink = 0x0020;
inline constexpr std::uint32_t kReadControl = 0x00020000;
inline constexpr std::uint32_t kKeyRead =
    kReadControl | kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify; // 0x20019
inline constexpr std::uint32_t kKeyWriteRights = kKeySetValue | kKeyCreateSubKey | kKeyCreateLink;

// Size of the buffer a value is read into.
inline constexpr std::size_t kValueBufferSize = 1024;

class Registry
{
public:
    virtual ~Registry() = default;

    // Opens subKey below root. Returns kErrorSuccess and sets key, or another
    // code (then key is left alone and there is nothing to close).
    virtual long OpenKey(RegHandle root, const std::string &subKey, std::uint32_t options,
                         std::uint32_t access, RegHandle &key) = 0;

    // Reads the value named valueName of an open key. size goes in as the
    // capacity of data in bytes and comes back as the number of data bytes.
    // Returns kErrorSuccess, kErrorMoreData when the value does not fit
    // (size then tells how many bytes it has), or another code.
    virtual long QueryValue(RegHandle key, const std::string &valueName, std::uint32_t &type,
                            unsigned char *data, std::uint32_t &size) = 0;

    virtual long CloseKey(RegHandle key) = 0;
};

} // namespace sysinfo
