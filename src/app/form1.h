#pragma once

#include "engines.h"
#include "indexnow.h"
#include "twips.h"

#include <QMainWindow>

class QAction;
class QLineEdit;
class QPushButton;
class SSTab;
class WebBrowser;

// The main window. Every control carries its designed name as objectName;
// the handlers are public so that the menus, the buttons and tests reach the
// same code. Each handler runs through RunHandler: a failure in it is
// reported and the window stays open.
class Form1 : public QMainWindow
{
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // Where the engine buttons send their requests (tests point it at a
    // local server).
    void setHosts(const HostTable &hosts) { hosts_ = hosts; }
    // How long an IndexNow submission waits for its answer.
    void setIndexNowTimeout(int ms) { indexNowTimeoutMs_ = ms; }

    // The twips geometry the window's controls are placed from.
    const TwipsGeometry &geometryTwips() const { return geometry_; }

    // Start-up and menu commands.
    void Form_Load();
    void Form_Resize();
    void mnuFileSave_Click();
    void mnuFileGet_Click();
    void mnuFileExit_Click();
    void mnuToolsOPtions_Click();
    void mnuToolsIndexNow_Click();
    void mnuToolsIndexNowKey_Click();
    void mnuToolsSitemap_Click();
    void mnuToolsHistory_Click();
    void mnuHelpAbout_Click();
    void MakeAutoComplete(QLineEdit *field);

    // Engine buttons.
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command12_Click();
    void Command13_Click();
    void Command14_Click();
    void Command15_Click();

    // Favorites buttons.
    void Command9_Click();
    void Command10_Click();
    void Command11_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void connectHandlers();
    void placeControl(const QString &name);
    void SubmitTo(const char *control);

    HostTable hosts_ = HostTable::Default();
    int indexNowTimeoutMs_ = indexnow::kTimeoutMs;
    quint64 indexNowRequest_ = 0;
    TwipsGeometry geometry_;
    QHash<QString, QWidget *> controls_;
    QWidget *client_ = nullptr;
    bool painted_ = false;

    SSTab *SSTab1 = nullptr;
    QLineEdit *url = nullptr;
    QLineEdit *name1 = nullptr;
    QLineEdit *mail = nullptr;
    WebBrowser *WebBrowser1 = nullptr;
};
