#pragma once

// The platform's side of the system information launcher: the registry
// backend of this build, the file test and the program start.

#include "registry.h"
#include "sysinfo_launcher.h"

#include <functional>
#include <string>

namespace sysinfo {

// The registry of this build: the system's own on Windows; elsewhere the
// stand-in that answers with a system information tool found on PATH.
Registry &NativeRegistry();

// True when an ordinary file exists at path: not a folder, not hidden (on
// Windows not a system file either).
bool NativeFileIsOrdinary(const std::string &path);

// Starts the program at path with no arguments, through no shell, in a
// normal window, and returns without waiting for it. False when path names
// no program that can be started.
bool NativeStartProgram(const std::string &path);

// The file test and program start of this build, with the given message.
Platform NativePlatform(std::function<void(const std::string &text)> showMessage);

} // namespace sysinfo
