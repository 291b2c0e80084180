#pragma once

class QWidget;

// Shows a modeless window, or brings it to the front when it is already
// open: each window of the program exists at most once.
void BringForward(QWidget *window);

// Places a window about to be shown for the first time over the middle of
// the main window (none: where the system puts it).
void CentreOver(QWidget *window, const QWidget *mainWindow);
