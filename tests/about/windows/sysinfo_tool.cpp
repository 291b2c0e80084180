// Stands in for the system information tool in the test run under Wine. It
// waits until the test creates "<its own path>.go", then writes
// "<its own path>.ran": its state, the number of arguments it got, its path,
// its command line and the window style it was asked to show. A launcher
// that waited for it would still be blocked when the test looks for the marker.

#include <cstdio>
#include <string>
#include <windows.h>

int main(int argc, char **)
{
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string go = std::string(self) + ".go";
    const std::string ran = std::string(self) + ".ran";
    const std::string part = ran + ".part";

    int waited = 0;
    while (::GetFileAttributesA(go.c_str()) == INVALID_FILE_ATTRIBUTES && waited < 600) {
        ::Sleep(50);
        ++waited;
    }
    const bool released = ::GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES;

    std::FILE *out = std::fopen(part.c_str(), "wb");
    if (!out)
        return 1;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoA(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    std::fprintf(out, "%s\n%d\n%s\n%s\nshow=%d\n", released ? "released" : "timed-out", argc - 1,
                 self, ::GetCommandLineA(), show);
    std::fclose(out);
    ::MoveFileExA(part.c_str(), ran.c_str(), MOVEFILE_REPLACE_EXISTING);
    return 0;
}
