#include "appicon.h"
#include "form1.h"
#include "identity.h"
#include "webengine_setup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    PrepareWebEngine();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(identity::kTitle));
    QApplication::setApplicationVersion(QString::fromLatin1(identity::kVersion));
    QApplication::setDesktopFileName(QString::fromLatin1(identity::kDesktopId));
    QApplication::setWindowIcon(AppIcon());

    auto *form1 = new Form1;
    form1->setAttribute(Qt::WA_DeleteOnClose);
    form1->show();
    return QApplication::exec();
}
