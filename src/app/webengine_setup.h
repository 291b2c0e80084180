#pragma once

// Call before the QApplication is created. Chromium's sandbox cannot run
// when the process runs as root; only then is it turned off, and the program
// says so on stderr.
void PrepareWebEngine();
