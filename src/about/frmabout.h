#pragma once

#include <QDialog>

// The About box. Opened modeless and without an owner; at most one at a
// time; it deletes itself when closed, so the next opening loads it afresh.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    // Opens the box, or brings the open one to the front. Returns it.
    static frmAbout *Open();
    static frmAbout *Instance();

    // (the helper that owns this file adds the controls and handlers:
    //  Form_Load, cmdOK_Click, cmdSysInfo_Click, ...)
};
