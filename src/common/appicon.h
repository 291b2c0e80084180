#pragma once

#include <QIcon>

// The program's icon: the 32 x 32 picture, with a larger rendering of the
// same design for screens that scale.
QIcon AppIcon();
