#pragma once

#include "registry.h"

#include <QDialog>

#include <string>

class QFrame;
class QLabel;
class QPushButton;

// The About box. Opened modeless and without an owner; at most one at a
// time; it deletes itself when closed, so the next opening loads it afresh.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    // Opens the box, or brings the open one to the front. Returns it.
    static frmAbout *Open();
    // The open box, or null.
    static frmAbout *Instance();

    ~frmAbout() override;

    // Handlers.
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    // The launcher of the platform's system information tool, and the
    // registry read it uses, on this build's registry.
    static void StartSysInfo();
    static bool GetKeyValue(const sysinfo::RegHandle &KeyRoot, const std::string &KeyName,
                            const std::string &SubKeyRef, std::string &KeyVal);

    // Controls, named as designed.
    QPushButton *cmdOK = nullptr;
    QLabel *picIcon = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QLabel *lblDescription = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    // The etched rule above the buttons: index 1 the grey line, index 0 the
    // white one below it.
    QFrame *Line1[2] = {nullptr, nullptr};

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    frmAbout();
};

// "Version " and major.minor.revision, each a whole number written in decimal,
// from a version text such as QCoreApplication::applicationVersion().
QString AboutVersionLine(const QString &version);
