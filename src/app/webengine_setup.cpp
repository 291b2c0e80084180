#include "webengine_setup.h"

#include <QCoreApplication>
#include <QtGlobal>

#include <cstdio>
#include <unistd.h>

void PrepareWebEngine()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("pagecrier: running as root, so the web engine's sandbox is turned off\n",
                   stderr);
    }
}
