#include "msgbox.h"

#include "identity.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace msgbox {
namespace {

struct SeamState
{
    bool enabled = false;
    QList<int> answers;
    QList<Shown> shown;
    void (*callback)(const Shown &) = nullptr;
};

SeamState &state()
{
    static SeamState s;
    return s;
}

int defaultAnswer(int style)
{
    return (style & 0x0F) == MB_YESNO ? IDYES : IDOK;
}

} // namespace

int Show(const QString &text, int style, const QString &title)
{
    const QString caption = title.isEmpty() ? QString::fromLatin1(identity::kTitle) : title;
    SeamState &s = state();
    if (s.enabled) {
        const Shown shown{text, caption, style};
        s.shown.append(shown);
        if (s.callback)
            s.callback(shown);
        return s.answers.isEmpty() ? defaultAnswer(style) : s.answers.takeFirst();
    }

    // No window can be shown without an application object of the widgets
    // (the command line runs on QCoreApplication): the text goes to the
    // standard error instead and the default button is the answer.
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", caption.toLocal8Bit().constData(),
                     text.toLocal8Bit().constData());
        std::fflush(stderr);
        return defaultAnswer(style);
    }

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(caption);
    box.setText(text);
    box.setIcon((style & 0xF0) == MB_ICONINFORMATION ? QMessageBox::Information
                                                     : QMessageBox::NoIcon);
    if ((style & 0x0F) == MB_YESNO) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Ok:
        return IDOK;
    default:
        // Closed by Esc or the close box.
        return (style & 0x0F) == MB_YESNO ? IDNO : IDOK;
    }
}

namespace seam {

void Enable()
{
    state() = SeamState{};
    state().enabled = true;
}

void Disable()
{
    state() = SeamState{};
}

bool Enabled()
{
    return state().enabled;
}

void QueueAnswer(int answer)
{
    state().answers.append(answer);
}

void OnShown(void (*callback)(const Shown &))
{
    state().callback = callback;
}

QList<Shown> TakeShown()
{
    QList<Shown> out;
    out.swap(state().shown);
    return out;
}

const QList<Shown> &ShownSoFar()
{
    return state().shown;
}

} // namespace seam
} // namespace msgbox
