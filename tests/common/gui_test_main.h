#pragma once

#include "webengine_setup.h"

#include <QApplication>
#include <QtTest>

// Like QTEST_MAIN, but prepares the web engine before the application
// object exists (the sandbox cannot run when the tests run as root).
#define PAGECRIER_GUI_TEST_MAIN(TestClass)                                                         \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        PrepareWebEngine();                                                                        \
        QApplication app(argc, argv);                                                              \
        QApplication::setApplicationName(QStringLiteral("Pagecrier"));                             \
        TestClass tc;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
