#include "bring_forward.h"

#include <QWidget>

void BringForward(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void CentreOver(QWidget *window, const QWidget *mainWindow)
{
    if (mainWindow)
        window->move(mainWindow->frameGeometry().center() - window->rect().center());
}
