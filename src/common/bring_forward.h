#pragma once

class QWidget;

// Shows a modeless window, or brings it to the front when it is already
// open: each window of the program exists at most once.
void BringForward(QWidget *window);
