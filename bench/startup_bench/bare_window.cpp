// A bare Qt window of the main window's size, in a program that links Qt
// Widgets alone: prints the nanoseconds from <launch-ns> (CLOCK_REALTIME,
// taken by the script right before starting it) to its first paint.

#include "first_paint.h"

#include <QApplication>
#include <QWidget>

#include <cstdlib>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <launch-ns>\n", argv[0]);
        return 2;
    }
    FirstPaint watcher(std::atoll(argv[1]));
    QApplication app(argc, argv);
    QWidget window;
    window.resize(679, 370);
    window.installEventFilter(&watcher);
    window.show();
    return QApplication::exec();
}
