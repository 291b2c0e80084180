#include "webengine_setup.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <unistd.h>

void PrepareWebEngine()
{
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
    if (geteuid() == 0) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        std::fputs("pagecrier: running as root, so the web engine's sandbox is turned off\n",
                   stderr);
    }
}
