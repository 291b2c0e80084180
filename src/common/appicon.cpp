#include "appicon.h"

QIcon AppIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/pagecrier-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/pagecrier-256.png"), QSize(256, 256));
    return icon;
}
