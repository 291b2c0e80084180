#pragma once

#include <QList>

class QWidget;

// Controls keep their designed boxes. Where the desktop's font is wider than
// the one the windows were designed with, the text of the given controls
// (labels, check boxes, push buttons) is set a little smaller, all alike, so
// that each is shown whole instead of cut off. Never below 6 points.
void FitTextToBoxes(const QList<QWidget *> &controls);
