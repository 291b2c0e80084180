#pragma once

// Call before the QApplication is created.
// - Pages in the pane reach screen readers: on Linux, Qt WebEngine passes web
//   content to assistive technology only when QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY
//   is set as the engine starts, so it is set here unless the user set it.
//   Nothing is built for it while no assistive technology listens.
// - Chromium's sandbox cannot run when the process runs as root; only then
//   is it turned off, and the program says so on stderr.
void PrepareWebEngine();
