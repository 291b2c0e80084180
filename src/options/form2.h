#pragma once

#include <QWidget>

class QCheckBox;
class QPushButton;

// The Options dialog. Opened modeless and without an owner; at most one at a
// time; it deletes itself when closed, so the next opening loads it afresh.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    // Opens the dialog centred over mainWindow, or brings the open one to the
    // front (nothing re-read, unsaved box states kept). Returns it.
    static Form2 *Open(QWidget *mainWindow);
    // The open dialog, or nullptr.
    static Form2 *Instance();

    // (the helper that owns this file adds the controls and handlers:
    //  Form_Load, Command1_Click, Command2_Click, Command3_Click, Check1, Check2, ...)
};
