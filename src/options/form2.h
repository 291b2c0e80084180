#pragma once

#include <QWidget>

class QCheckBox;
class QCloseEvent;
class QPushButton;

// The Options dialog. Opened modeless and without an owner; at most one at a
// time; it deletes itself when closed, so the next opening loads it afresh.
// No button is the default or the cancel button: Enter and Escape press
// nothing. The close box behaves as Cancel.
class Form2 : public QWidget
{
    Q_OBJECT
public:
    // Opens the dialog centred over mainWindow, or brings the open one to the
    // front (nothing re-read, unsaved box states kept). Returns it.
    static Form2 *Open(QWidget *mainWindow);
    // The open dialog, or nullptr.
    static Form2 *Instance();

    ~Form2() override;

    // Reads both options from the settings store into the check boxes.
    void Form_Load();
    // "&Apply": writes both options; the dialog stays open.
    void Command1_Click();
    // "&Cancel": closes without writing.
    void Command2_Click();
    // "&OK": writes both options, then closes.
    void Command3_Click();

    QCheckBox *Check1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command3 = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Form2();
    void WriteOptions();
};
