#include "bring_forward.h"

#include <QWidget>

void BringForward(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}
