#pragma once

// The command line: `pagecrier --indexnow ADDRESS...`, `--sitemap`,
// `--check-key-file`, `--key`. It runs on QCoreApplication: no display, no
// widget, no web engine. The window's start-up stays in main.cpp.
namespace commandline {

// The exit statuses, as --help and the README give them.
enum Status : int
{
    kReceived = 0,    // every request was received (200 or 202)
    kRefused = 1,     // the endpoint refused (400, 403, 422, any other answer)
    kBadInput = 2,    // bad usage or input: nothing was sent
    kNoAnswer = 3,    // no answer, a network or server error, a certificate not verified
    kRateLimited = 4, // 429
    kKeyFileFailed = 5,
};

// Whether argv asks for a command-line run: one of the program's own options
// (with one or two dashes, "--opt value" or "--opt=value"), or an unknown
// option with two dashes. No argument, Qt's own options (-platform, -style,
// --platform offscreen, ...) and a desktop entry's launch line start the
// window. Call it before any application object exists.
bool IsCommandLineRun(int argc, char *argv[]);

// Runs the command line on a QCoreApplication of its own and returns the
// exit status.
int Run(int argc, char *argv[]);

} // namespace commandline
