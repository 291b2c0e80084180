// The bare Qt windows the program is compared with, in a program that links
// Qt Widgets alone: an empty window of the main window's size, or, given
// "text", the same window showing one line of text. The start-up benchmark
// preloads the same first-paint probe into it as into the program.

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    const bool withText = argc > 1 && qstrcmp(argv[1], "text") == 0;
    QApplication app(argc, argv);
    QWidget window;
    window.resize(679, 370);
    if (withText)
        (new QLabel(QStringLiteral("Site Information"), &window))->move(8, 8);
    window.show();
    return QApplication::exec();
}
