#pragma once

// Finds and starts the platform's system information tool. Plain C++ with no
// Qt, shared by the About box and the Windows build.

#include "registry.h"

#include <functional>
#include <stdexcept>
#include <string>

namespace sysinfo {

// Where the tool is looked up, in the order tried.
inline constexpr char kToolKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
inline constexpr char kToolValue[] = "PATH";
inline constexpr char kToolFolderKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
inline constexpr char kToolFolderValue[] = "MSINFO";
inline constexpr char kToolFileName[] = "\\MSINFO32.EXE";

// The one message the user sees when the tool cannot be started.
inline constexpr char kUnavailableMessage[] = "System Information Is Unavailable At This Time";

// Raised by GetKeyValue for a value that holds no data bytes at all.
class ReadFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Reads the value SubKeyRef of the key KeyName below KeyRoot as text.
// Returns true when it was read: a REG_SZ value's text (one trailing zero
// byte dropped) or a REG_DWORD as "&h" and upper-case hexadecimal goes into
// KeyVal; a value of any other type leaves KeyVal as passed. Returns false
// with KeyVal empty when the key cannot be opened or the value cannot be
// read, which includes a value longer than the 1024-byte buffer. A value of
// zero bytes throws ReadFailure (after closing the key). The key is opened
// for reading only.
bool GetKeyValue(Registry &registry, const RegHandle &KeyRoot, const std::string &KeyName,
                 const std::string &SubKeyRef, std::string &KeyVal);

// What the launcher needs of the platform besides the registry.
struct Platform
{
    // True when an ordinary file (not a folder, not hidden, not a system
    // file) exists at path.
    std::function<bool(const std::string &path)> fileIsOrdinary;
    // Starts the program at path (the whole text is the path) with no
    // arguments, in a normal window, without waiting for it. False when path
    // names no program that can be started.
    std::function<bool(const std::string &path)> startProgram;
    // Shows the message text in a modal box with only an OK button, no icon
    // and the application title as caption.
    std::function<void(const std::string &text)> showMessage;
};

// Looks the tool up in the two registry values in order and starts it; shows
// kUnavailableMessage for every way in which it cannot be started. Never
// lets a failure out.
void StartSysInfo(Registry &registry, const Platform &platform);

} // namespace sysinfo
