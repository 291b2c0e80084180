#include "appicon.h"
#include "command_line.h"
#include "form1.h"
#include "identity.h"
#include "webengine_setup.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // With options of its own the program runs as a command line: no
    // display, no widget, no web engine.
    if (commandline::IsCommandLineRun(argc, argv))
        return commandline::Run(argc, argv);

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
