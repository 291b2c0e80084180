#pragma once

#include <QList>
#include <QString>

// Every message the program shows goes through Show(). Tests switch the seam
// on, queue the answers they want and read back what was shown, so no test
// ever blocks on a modal box.
namespace msgbox {

// Style values as the message box has always taken them.
enum Style : int
{
    MB_OK = 0,
    MB_YESNO = 4,
    MB_ICONINFORMATION = 64,
};

enum Answer : int
{
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

struct Shown
{
    QString text;
    QString title;
    int style = MB_OK;
};

// Shows a modal message box and returns the button pressed. An empty title
// stands for the application title. Without a QApplication (the command
// line) the text goes to the standard error and the default button (Yes, or
// OK) is the answer.
int Show(const QString &text, int style = MB_OK, const QString &title = QString());

namespace seam {
// From now on Show() records the message and answers from the queue instead
// of opening a box; with the queue empty it answers the default button.
void Enable();
void Disable();
bool Enabled();
void QueueAnswer(int answer);
// Called, when set, each time a message is recorded (tests use it to act
// while the "box" would be open).
void OnShown(void (*callback)(const Shown &));
QList<Shown> TakeShown();
const QList<Shown> &ShownSoFar();
} // namespace seam

} // namespace msgbox
