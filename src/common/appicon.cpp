#include "appicon.h"

#include <QCoreApplication>

QIcon AppIcon()
{
    // Every window shows the same icon: read the pictures once a run, and let
    // them go with the application object.
    static QIcon *icon = nullptr;
    if (!icon) {
        icon = new QIcon;
        icon->addFile(QStringLiteral(":/icons/pagecrier-32.png"), QSize(32, 32));
        icon->addFile(QStringLiteral(":/icons/pagecrier-256.png"), QSize(256, 256));
        qAddPostRoutine([] {
            delete icon;
            icon = nullptr;
        });
    }
    return *icon;
}
