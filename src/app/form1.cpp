#include "form1.h"

#include "appicon.h"
#include "autocomplete.h"
#include "endpoints.h"
#include "failure.h"
#include "fit_text.h"
#include "form2.h"
#include "frmabout.h"
#include "identity.h"
#include "indexnow_key.h"
#include "keys.h"
#include "layout.h"
#include "msgbox.h"
#include "record.h"
#include "settings_store.h"
#include "sitemap_dialog.h"
#include "sstab.h"
#include "webbrowser.h"

#include <QApplication>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

const char kPictureResource[] = ":/images/banner.jpg";
const char kPicture2xResource[] = ":/images/banner@2x.jpg";

QString S(const char *text)
{
    return QString::fromUtf8(text);
}

// Runs a Form1 handler through RunHandler when sender fires.
template <typename Sender, typename Signal>
void On(Form1 *form, Sender *sender, Signal signal, const char *handlerName,
        void (Form1::*handler)())
{
    QObject::connect(sender, signal, form, [form, handlerName, handler] {
        RunHandler(handlerName, [form, handler] { (form->*handler)(); });
    });
}

} // namespace

Form1::Form1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(S(identity::kTitle));
    setWindowIcon(AppIcon());

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("Form1Client"));
    setCentralWidget(client_);

    buildMenus();
    buildControls();
    connectHandlers();
    client_->installEventFilter(this);

    // The designed client area: 10185 x 5220 twips below the menu bar.
    resize(ToPixels({0, 0, kForm1ClientWidth, kForm1ClientHeight}).width(),
           ToPixels({0, 0, kForm1ClientWidth, kForm1ClientHeight}).height() +
               menuBar()->sizeHint().height());

    // The first control in the keyboard order that can take the focus.
    url->setFocus();

    RunHandler("Form_Load", [this] { Form_Load(); });
}

Form1::~Form1() = default;

void Form1::buildMenus()
{
    QMenu *mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    QAction *mnuFileSave = mnuFile->addAction(QStringLiteral("&Save entries as Favorites"));
    mnuFileSave->setObjectName(QStringLiteral("mnuFileSave"));
    mnuFileSave->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction *mnuFileGet = mnuFile->addAction(QStringLiteral("&Get Favorites"));
    mnuFileGet->setObjectName(QStringLiteral("mnuFileGet"));
    mnuFileGet->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    QAction *asfsdf = mnuFile->addSeparator();
    asfsdf->setObjectName(QStringLiteral("asfsdf"));
    QAction *mnuFileExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuFileExit->setObjectName(QStringLiteral("mnuFileExit"));

    QMenu *mnuTools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    QAction *mnuToolsOPtions = mnuTools->addAction(QStringLiteral("&Options"));
    mnuToolsOPtions->setObjectName(QStringLiteral("mnuToolsOPtions"));
    QAction *mnuToolsIndexNow = mnuTools->addAction(QStringLiteral("Submit with &IndexNow"));
    mnuToolsIndexNow->setObjectName(QStringLiteral("mnuToolsIndexNow"));
    QAction *mnuToolsIndexNowKey = mnuTools->addAction(QStringLiteral("IndexNow &Key..."));
    mnuToolsIndexNowKey->setObjectName(QStringLiteral("mnuToolsIndexNowKey"));
    QAction *mnuToolsSitemap =
        mnuTools->addAction(QStringLiteral("Submit Site &Map with IndexNow..."));
    mnuToolsSitemap->setObjectName(QStringLiteral("mnuToolsSitemap"));
    QAction *mnuToolsHistory = mnuTools->addAction(QStringLiteral("IndexNow &History"));
    mnuToolsHistory->setObjectName(QStringLiteral("mnuToolsHistory"));

    QMenu *mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    QAction *mnuHelpAbout = mnuHelp->addAction(QStringLiteral("&About"));
    mnuHelpAbout->setObjectName(QStringLiteral("mnuHelpAbout"));

    // The menu titles are actions too; give them the menus' names.
    mnuFile->menuAction()->setObjectName(QStringLiteral("mnuFileMenu"));
    mnuTools->menuAction()->setObjectName(QStringLiteral("mnuToolsMenu"));
    mnuHelp->menuAction()->setObjectName(QStringLiteral("mnuHelpMenu"));
}

void Form1::buildControls()
{
    for (const ControlRow &row : Form1Controls()) {
        const QString name = S(row.name);
        QWidget *container = nullptr;
        if (qstrcmp(row.container, "Form1") == 0)
            container = client_;
        else
            container = controls_.value(S(row.container));

        QWidget *widget = nullptr;
        switch (row.kind) {
        case ControlRow::TabControl: {
            SSTab1 = new SSTab(container);
            QFont tabFont(QStringLiteral("Arial"));
            tabFont.setPointSizeF(8.25);
            tabFont.setWeight(QFont::Normal);
            SSTab1->tabBar()->setFont(tabFont);
            SSTab1->addTab(QStringLiteral("Site Information"));
            SSTab1->addTab(QStringLiteral("Submit Site to..."));
            SSTab1->setAccessibleName(QStringLiteral("Tabs"));
            SSTab1->tabBar()->setAccessibleName(QStringLiteral("Tabs"));
            widget = SSTab1;
            break;
        }
        case ControlRow::Frame: {
            auto *frame = new QGroupBox(S(row.caption), container);
            SSTab1->setPage(row.tab, frame);
            widget = frame;
            break;
        }
        case ControlRow::Label: {
            auto *label = new QLabel(S(row.caption), container);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(qstrcmp(row.name, "Label7") == 0);
            widget = label;
            break;
        }
        case ControlRow::TextField: {
            auto *field = new QLineEdit(container);
            // Any length that was stored, typed or pasted (the default cuts
            // at 32767 characters, perhaps inside a pair of surrogates).
            field->setMaxLength(std::numeric_limits<int>::max());
            widget = field;
            break;
        }
        case ControlRow::PushButton: {
            auto *button = new QPushButton(S(row.caption), container);
            button->setAutoDefault(false);
            button->setDefault(false);
            widget = button;
            break;
        }
        case ControlRow::Picture: {
            auto *picture = new QLabel(container);
            // The 500 x 100 picture; a screen that scales gets the rendering
            // made for twice the size.
            QPixmap art(S(devicePixelRatioF() > 1 ? kPicture2xResource : kPictureResource));
            art.setDevicePixelRatio(art.width() / 500.0);
            picture->setPixmap(art);
            picture->setScaledContents(false);
            picture->setAccessibleName(QStringLiteral("Pagecrier"));
            widget = picture;
            break;
        }
        case ControlRow::WebBrowser:
            WebBrowser1 = new WebBrowser(container);
            widget = WebBrowser1;
            break;
        }
        widget->setObjectName(name);
        controls_.insert(name, widget);
        geometry_.add(name, row.rect);
        placeControl(name);
    }

    url = qobject_cast<QLineEdit *>(controls_.value(QStringLiteral("url")));
    name1 = qobject_cast<QLineEdit *>(controls_.value(QStringLiteral("name1")));
    mail = qobject_cast<QLineEdit *>(controls_.value(QStringLiteral("mail")));

    // Each field is named by its label, for screen readers.
    const std::pair<const char *, const char *> buddies[] = {
        {"Label2", "url"}, {"Label5", "name1"}, {"Label6", "mail"}};
    QList<QWidget *> fieldLabels;
    for (const auto &[labelName, fieldName] : buddies) {
        auto *label = qobject_cast<QLabel *>(controls_.value(S(labelName)));
        QWidget *field = controls_.value(S(fieldName));
        label->setBuddy(field);
        field->setAccessibleName(label->text().chopped(1));
        fieldLabels << label;
    }
    FitTextToBoxes(fieldLabels);
    QList<QWidget *> engineButtons;
    for (const Engine &engine : Catalogue())
        engineButtons << controls_.value(S(engine.control));
    FitTextToBoxes(engineButtons);
    // A letter a button shares with a menu ("&Hotbot", "&Help") opens the
    // menu, on either tab, at the first press; the button keeps its underline.
    for (QWidget *widget : engineButtons) {
        auto *button = static_cast<QPushButton *>(widget);
        for (const QAction *menu : menuBar()->actions())
            if (button->shortcut() == QKeySequence::mnemonic(menu->text()))
                button->setShortcut(QKeySequence());
    }

    // The keyboard order of the design; labels and frames keep their numbers
    // but never take the focus.
    QList<ControlRow> order = Form1Controls();
    std::stable_sort(order.begin(), order.end(), [](const ControlRow &a, const ControlRow &b) {
        return a.tabIndex < b.tabIndex;
    });
    QWidget *previous = nullptr;
    for (const ControlRow &row : order) {
        if (row.tabIndex < 0 || row.kind == ControlRow::Label || row.kind == ControlRow::Frame ||
            row.kind == ControlRow::Picture)
            continue;
        QWidget *widget = controls_.value(S(row.name));
        if (row.kind == ControlRow::TabControl)
            widget = SSTab1->tabBar();
        if (previous)
            setTabOrder(previous, widget);
        previous = widget;
    }
    SSTab1->setCurrentIndex(0);
}

void Form1::placeControl(const QString &name)
{
    if (QWidget *widget = controls_.value(name))
        widget->setGeometry(ToPixels(geometry_.rect(name)));
}

void Form1::connectHandlers()
{
    auto button = [this](const char *name) {
        return qobject_cast<QPushButton *>(controls_.value(S(name)));
    };
    auto action = [this](const char *name) { return findChild<QAction *>(S(name)); };
    const auto clicked = &QPushButton::clicked;
    const auto triggered = &QAction::triggered;

    On(this, button("Command1"), clicked, "Command1_Click", &Form1::Command1_Click);
    On(this, button("Command2"), clicked, "Command2_Click", &Form1::Command2_Click);
    On(this, button("Command3"), clicked, "Command3_Click", &Form1::Command3_Click);
    On(this, button("Command4"), clicked, "Command4_Click", &Form1::Command4_Click);
    On(this, button("Command5"), clicked, "Command5_Click", &Form1::Command5_Click);
    On(this, button("Command6"), clicked, "Command6_Click", &Form1::Command6_Click);
    On(this, button("Command7"), clicked, "Command7_Click", &Form1::Command7_Click);
    On(this, button("Command8"), clicked, "Command8_Click", &Form1::Command8_Click);
    On(this, button("Command9"), clicked, "Command9_Click", &Form1::Command9_Click);
    On(this, button("Command10"), clicked, "Command10_Click", &Form1::Command10_Click);
    On(this, button("Command11"), clicked, "Command11_Click", &Form1::Command11_Click);
    On(this, button("Command12"), clicked, "Command12_Click", &Form1::Command12_Click);
    On(this, button("Command13"), clicked, "Command13_Click", &Form1::Command13_Click);
    On(this, button("Command14"), clicked, "Command14_Click", &Form1::Command14_Click);
    On(this, button("Command15"), clicked, "Command15_Click", &Form1::Command15_Click);

    On(this, action("mnuFileSave"), triggered, "mnuFileSave_Click", &Form1::mnuFileSave_Click);
    On(this, action("mnuFileGet"), triggered, "mnuFileGet_Click", &Form1::mnuFileGet_Click);
    On(this, action("mnuFileExit"), triggered, "mnuFileExit_Click", &Form1::mnuFileExit_Click);
    On(this, action("mnuToolsOPtions"), triggered, "mnuToolsOPtions_Click",
       &Form1::mnuToolsOPtions_Click);
    On(this, action("mnuToolsIndexNow"), triggered, "mnuToolsIndexNow_Click",
       &Form1::mnuToolsIndexNow_Click);
    On(this, action("mnuToolsIndexNowKey"), triggered, "mnuToolsIndexNowKey_Click",
       &Form1::mnuToolsIndexNowKey_Click);
    On(this, action("mnuToolsSitemap"), triggered, "mnuToolsSitemap_Click",
       &Form1::mnuToolsSitemap_Click);
    On(this, action("mnuToolsHistory"), triggered, "mnuToolsHistory_Click",
       &Form1::mnuToolsHistory_Click);
    On(this, action("mnuHelpAbout"), triggered, "mnuHelpAbout_Click", &Form1::mnuHelpAbout_Click);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == client_) {
        if (event->type() == QEvent::Resize) {
            Form_Resize();
        } else if (event->type() == QEvent::Paint && !painted_) {
            // The window is on screen: now let the web engine start.
            painted_ = true;
            QTimer::singleShot(0, WebBrowser1, [this] { WebBrowser1->ensureEngine(); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Start-up and menu commands -------------------------------------------

void Form1::Form_Load()
{
    WebBrowser1->Navigate(QStringLiteral("about:blank"));

    // One read of the store for all five entries.
    const QStringList stored =
        SettingsStore().ReadSettings(keys::kApp, keys::kSection,
                                     {{keys::kStartup, keys::kStartupDefault},
                                      {keys::kUrl, keys::kFieldDefault},
                                      {keys::kName, keys::kFieldDefault},
                                      {keys::kMail, keys::kFieldDefault},
                                      {keys::kAuto, keys::kAutoDefault}});
    if (OptionIsOn(stored.at(0), keys::kStartupDefault)) {
        url->setText(stored.at(1));
        name1->setText(stored.at(2));
        mail->setText(stored.at(3));
    }

    if (OptionIsOn(stored.at(4), keys::kAutoDefault))
        MakeAutoComplete(url);
}

void Form1::Form_Resize()
{
    ApplyResizeRules(geometry_, static_cast<float>(client_->width()) * kTwipsPerPixel,
                     static_cast<float>(client_->height()) * kTwipsPerPixel);
    for (auto it = controls_.cbegin(); it != controls_.cend(); ++it)
        placeControl(it.key());
}

void Form1::mnuFileSave_Click()
{
    Command11_Click();
}

void Form1::mnuFileGet_Click()
{
    Command10_Click();
}

void Form1::mnuFileExit_Click()
{
    close();
    QApplication::closeAllWindows();
    QCoreApplication::quit();
}

void Form1::mnuToolsOPtions_Click()
{
    Form2::Open(this);
}

void Form1::mnuToolsIndexNow_Click()
{
    const QString title = QStringLiteral("Submit with IndexNow");
    const QString page = url->text();
    const QString refusal = indexnow::RefusalFor(page);
    if (!refusal.isEmpty()) {
        msgbox::Show(refusal, msgbox::MB_OK | msgbox::MB_ICONINFORMATION, title);
        return;
    }
    SettingsStore store;
    const QString key = IndexNowKey(store);
    if (!indexnow::IsValidKey(key)) {
        msgbox::Show(indexnow::BadKeyText(), msgbox::MB_OK | msgbox::MB_ICONINFORMATION, title);
        return;
    }
    // The test table's endpoint, else the user's choice.
    const QString endpoint = hosts_.indexNowEndpoint().isEmpty()
                                 ? indexnow::EndpointAddress(indexnow::ChosenEndpointId())
                                 : hosts_.indexNowEndpoint();
    indexnow::Http &http = indexnow::SharedHttp();
    WebBrowser1->ShowPage(indexnow::SendingPage(page));
    const int timeoutMs = indexNowTimeoutMs_;
    QPointer<WebBrowser> pane = WebBrowser1;
    // A new submission replaces one still waiting.
    http.cancel(indexNowRequest_);
    indexNowRequest_ = indexnow::SubmitAddress(
        http, endpoint, page, key,
        [pane, page, key, timeoutMs](const HttpReply &reply) {
            RunHandler("mnuToolsIndexNow_Click", [&] {
                if (pane)
                    pane->ShowPage(indexnow::AnswerPage(reply, page, key, timeoutMs));
            });
        },
        timeoutMs,
        [](const QString &failure) {
            RunHandler("mnuToolsIndexNow_Click", [&] { throw Failure(failure); });
        });
}

void Form1::mnuToolsIndexNowKey_Click()
{
    QPointer<WebBrowser> pane = WebBrowser1;
    IndexNowKeyDialog::Open(this, url->text(), [pane](const QString &address) {
        if (pane)
            pane->Navigate(address);
    });
}

void Form1::mnuToolsSitemap_Click()
{
    // The test table's endpoint, else the one chosen in the dialog.
    SitemapDialog::Open(this, url->text(), hosts_.indexNowEndpoint(), indexNowTimeoutMs_);
}

void Form1::mnuToolsHistory_Click()
{
    WebBrowser1->ShowPage(indexnow::Record::Page(indexnow::Record().Entries()));
}

void Form1::mnuHelpAbout_Click()
{
    frmAbout::Open();
}

void Form1::MakeAutoComplete(QLineEdit *field)
{
    autocomplete::MakeAutoComplete(field);
}

// ---- Engine buttons ---------------------------------------------------------

void Form1::SubmitTo(const char *control)
{
    const Engine *engine = EngineForControl(S(control));
    const SiteDetails site{url->text(), name1->text(), mail->text()};
    WebBrowser1->Navigate(RequestAddress(*engine, site, hosts_));
    autocomplete::NoteAddressSent(url);
}

void Form1::Command1_Click()
{
    SubmitTo("Command1");
}

void Form1::Command2_Click()
{
    SubmitTo("Command2");
}

void Form1::Command3_Click()
{
    SubmitTo("Command3");
}

void Form1::Command4_Click()
{
    SubmitTo("Command4");
}

void Form1::Command5_Click()
{
    SubmitTo("Command5");
}

void Form1::Command6_Click()
{
    SubmitTo("Command6");
}

void Form1::Command7_Click()
{
    SubmitTo("Command7");
}

void Form1::Command8_Click()
{
    SubmitTo("Command8");
}

void Form1::Command12_Click()
{
    SubmitTo("Command12");
}

void Form1::Command13_Click()
{
    SubmitTo("Command13");
}

void Form1::Command14_Click()
{
    SubmitTo("Command14");
}

void Form1::Command15_Click()
{
    SubmitTo("Command15");
}

// ---- Favorites ------------------------------------------------------------

void Form1::Command9_Click()
{
    url->setText(QString());
    name1->setText(QString());
    mail->setText(QString());
}

void Form1::Command10_Click()
{
    const QStringList stored = SettingsStore().ReadSettings(keys::kApp, keys::kSection,
                                                            {{keys::kUrl, keys::kFieldDefault},
                                                             {keys::kName, keys::kFieldDefault},
                                                             {keys::kMail, keys::kFieldDefault}});
    url->setText(stored.at(0));
    name1->setText(stored.at(1));
    mail->setText(stored.at(2));
}

void Form1::Command11_Click()
{
    if (url->text().isEmpty()) {
        const int answer = msgbox::Show(QStringLiteral("Are you sure? You haven't entered a URL."),
                                        msgbox::MB_YESNO, QStringLiteral("URL field empty"));
        if (answer != msgbox::IDYES)
            return;
    }
    // The three in one change of the store: a crash or another copy saving
    // at the same time never leaves a mixed set.
    SettingsStore().WriteSettings(
        keys::kApp, keys::kSaveSection,
        {{keys::kUrl, url->text()}, {keys::kName, name1->text()}, {keys::kMail, mail->text()}});
    msgbox::Show(QStringLiteral("Your favorites have been saved!"),
                 msgbox::MB_OK | msgbox::MB_ICONINFORMATION, QString());
}
