// The Options dialog against a real settings file in a temporary folder.
#include "form2.h"
#include "keys.h"
#include "msgbox.h"
#include "settings_store.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

// What a read gives for a key never written.
const QString kAbsent = QStringLiteral("<absent>");

QString Stored(const QString &key)
{
    return SettingsStore().ReadSetting(keys::kApp, keys::kSection, key, kAbsent);
}

void Store(const QString &key, const QString &value)
{
    SettingsStore().WriteSetting(keys::kApp, keys::kSection, key, value);
}

void ClickBox(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace

class Form2Test : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_matchesTheDesign();
    void firstRun_startupClearedAutoChecked();
    void storedTwo_showsIndeterminateAndIsWrittenBackAsTwo();
    void storedJunk_showsDefaultsWithoutFailure_data();
    void storedJunk_showsDefaultsWithoutFailure();
    void click_togglesBetweenClearedAndChecked();
    void apply_writesBothAndStaysOpen();
    void applyThenCancel_keepsWhatApplyWrote();
    void ok_withoutChangeWritesBothKeysAndCloses();
    void cancel_writesNothing();
    void closeBox_writesNothing();
    void secondOpen_bringsTheSameDialogForward();
    void nextOpening_loadsAfresh();
    void enterAndEscape_pressNothing();
    void accessKeys_pressTheirButtons();
    void writeFailure_isReportedAndDialogStays();

private:
    Form2 *OpenShown();

    QTemporaryDir *config_ = nullptr;
    QWidget *mainWindow_ = nullptr;
};

void Form2Test::init()
{
    config_ = new QTemporaryDir;
    QVERIFY(config_->isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_->path()));
    msgbox::seam::Enable();
    mainWindow_ = new QWidget;
    mainWindow_->setGeometry(100, 100, 600, 400);
    mainWindow_->show();
}

void Form2Test::cleanup()
{
    if (Form2 *dialog = Form2::Instance())
        delete dialog;
    QCOMPARE(Form2::Instance(), nullptr);
    delete mainWindow_;
    mainWindow_ = nullptr;
    msgbox::seam::Disable();
    delete config_;
    config_ = nullptr;
}

Form2 *Form2Test::OpenShown()
{
    Form2 *dialog = Form2::Open(mainWindow_);
    if (dialog && !QTest::qWaitForWindowActive(dialog))
        qWarning("the Options dialog did not become active");
    return dialog;
}

void Form2Test::layout_matchesTheDesign()
{
    Form2 *dialog = OpenShown();
    QVERIFY(dialog);
    QCOMPARE(dialog->objectName(), QStringLiteral("Form2"));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Options"));
    QVERIFY(dialog->isWindow());
    QCOMPARE(dialog->parentWidget(), nullptr);
    QCOMPARE(dialog->size(), QSize(368, 103));
    QCOMPARE(dialog->minimumSize(), QSize(368, 103));
    QCOMPARE(dialog->maximumSize(), QSize(368, 103));
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY(flags & Qt::Dialog);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!dialog->isModal());

    // Centred over the main window.
    const QPoint offCentre = dialog->geometry().center() - mainWindow_->frameGeometry().center();
    QVERIFY2(offCentre.manhattanLength() <= 4,
             qPrintable(QStringLiteral("%1,%2").arg(offCentre.x()).arg(offCentre.y())));

    struct Row
    {
        QWidget *control;
        const char *name;
        QString caption;
        QRect rect;
    };
    const QList<Row> rows = {
        {dialog->Check1, "Check1", QStringLiteral("Load Favs on program Startup"),
         QRect(8, 8, 209, 17)},
        {dialog->Check2, "Check2",
         QStringLiteral("Use Auto-Complete for URL field (Requires Program Restart)"),
         QRect(8, 32, 329, 17)},
        {dialog->Command1, "Command1", QStringLiteral("&Apply"), QRect(280, 72, 81, 25)},
        {dialog->Command2, "Command2", QStringLiteral("&Cancel"), QRect(192, 72, 81, 25)},
        {dialog->Command3, "Command3", QStringLiteral("&OK"), QRect(104, 72, 81, 25)},
    };
    for (const Row &row : rows) {
        QVERIFY(row.control);
        QCOMPARE(row.control->objectName(), QString::fromLatin1(row.name));
        QCOMPARE(dialog->findChild<QWidget *>(QString::fromLatin1(row.name)), row.control);
        QCOMPARE(qobject_cast<QAbstractButton *>(row.control)->text(), row.caption);
        QCOMPARE(row.control->geometry(), row.rect);
    }
    QVERIFY(dialog->Check1->isTristate());
    QVERIFY(dialog->Check2->isTristate());

    // Tab order: the boxes, then Apply, Cancel, OK, and round again.
    QCOMPARE(dialog->Check1->nextInFocusChain(), dialog->Check2);
    QCOMPARE(dialog->Check2->nextInFocusChain(), dialog->Command1);
    QCOMPARE(dialog->Command1->nextInFocusChain(), dialog->Command2);
    QCOMPARE(dialog->Command2->nextInFocusChain(), dialog->Command3);
    QCOMPARE(QApplication::focusWidget(), dialog->Check1);
    for (QWidget *expected :
         {static_cast<QWidget *>(dialog->Check2), static_cast<QWidget *>(dialog->Command1),
          static_cast<QWidget *>(dialog->Command2), static_cast<QWidget *>(dialog->Command3),
          static_cast<QWidget *>(dialog->Check1)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected);
    }
    for (QPushButton *button : {dialog->Command1, dialog->Command2, dialog->Command3}) {
        QVERIFY(!button->isDefault());
        QVERIFY(!button->autoDefault());
    }
}

void Form2Test::firstRun_startupClearedAutoChecked()
{
    Form2 *dialog = OpenShown();
    QCOMPARE(dialog->Check1->checkState(), Qt::Unchecked);
    QCOMPARE(dialog->Check2->checkState(), Qt::Checked);
    // Reading creates nothing.
    QCOMPARE(Stored(keys::kStartup), kAbsent);
    QCOMPARE(Stored(keys::kAuto), kAbsent);
    QVERIFY(msgbox::seam::ShownSoFar().isEmpty());
}

void Form2Test::storedTwo_showsIndeterminateAndIsWrittenBackAsTwo()
{
    Store(keys::kStartup, QStringLiteral("2"));
    Store(keys::kAuto, QStringLiteral("2"));
    Form2 *dialog = OpenShown();
    QCOMPARE(dialog->Check1->checkState(), Qt::PartiallyChecked);
    QCOMPARE(dialog->Check2->checkState(), Qt::PartiallyChecked);
    Store(keys::kStartup, QStringLiteral("0"));
    Store(keys::kAuto, QStringLiteral("0"));
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    QCOMPARE(Stored(keys::kStartup), QStringLiteral("2"));
    QCOMPARE(Stored(keys::kAuto), QStringLiteral("2"));
}

void Form2Test::storedJunk_showsDefaultsWithoutFailure_data()
{
    QTest::addColumn<QString>("junk");
    QTest::newRow("words") << QStringLiteral("yes please");
    QTest::newRow("empty") << QString();
    QTest::newRow("out of range") << QStringLiteral("3");
    QTest::newRow("negative") << QStringLiteral("-1");
    QTest::newRow("fraction") << QStringLiteral("0.5");
    QTest::newRow("huge") << QStringLiteral("99999999999999999999");
}

void Form2Test::storedJunk_showsDefaultsWithoutFailure()
{
    QFETCH(QString, junk);
    Store(keys::kStartup, junk);
    Store(keys::kAuto, junk);
    Form2 *dialog = OpenShown();
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->Check1->checkState(), Qt::Unchecked);
    QCOMPARE(dialog->Check2->checkState(), Qt::Checked);
    QVERIFY(msgbox::seam::ShownSoFar().isEmpty());

    // The next OK repairs the store.
    QTest::mouseClick(dialog->Command3, Qt::LeftButton);
    QCOMPARE(Stored(keys::kStartup), QStringLiteral("0"));
    QCOMPARE(Stored(keys::kAuto), QStringLiteral("1"));
}

void Form2Test::click_togglesBetweenClearedAndChecked()
{
    Store(keys::kStartup, QStringLiteral("2"));
    Form2 *dialog = OpenShown();
    QCOMPARE(dialog->Check1->checkState(), Qt::PartiallyChecked);
    ClickBox(dialog->Check1);
    QCOMPARE(dialog->Check1->checkState(), Qt::Checked);
    ClickBox(dialog->Check1);
    QCOMPARE(dialog->Check1->checkState(), Qt::Unchecked);
    ClickBox(dialog->Check1);
    QCOMPARE(dialog->Check1->checkState(), Qt::Checked);
    // The space bar toggles the focused box the same way.
    dialog->Check2->setFocus();
    QTest::keyClick(dialog->Check2, Qt::Key_Space);
    QCOMPARE(dialog->Check2->checkState(), Qt::Unchecked);
    QTest::keyClick(dialog->Check2, Qt::Key_Space);
    QCOMPARE(dialog->Check2->checkState(), Qt::Checked);
}

void Form2Test::apply_writesBothAndStaysOpen()
{
    Form2 *dialog = OpenShown();
    ClickBox(dialog->Check1);
    ClickBox(dialog->Check2);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    QCOMPARE(Stored(keys::kStartup), QStringLiteral("1"));
    QCOMPARE(Stored(keys::kAuto), QStringLiteral("0"));
    QVERIFY(dialog->isVisible());
    QCOMPARE(Form2::Instance(), dialog);
}

void Form2Test::applyThenCancel_keepsWhatApplyWrote()
{
    Form2 *dialog = OpenShown();
    ClickBox(dialog->Check1);
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    ClickBox(dialog->Check1);
    ClickBox(dialog->Check2);
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(Form2::Instance(), nullptr);
    QCOMPARE(Stored(keys::kStartup), QStringLiteral("1"));
    QCOMPARE(Stored(keys::kAuto), QStringLiteral("1"));
}

void Form2Test::ok_withoutChangeWritesBothKeysAndCloses()
{
    QPointer<Form2> dialog = OpenShown();
    QTest::mouseClick(dialog->Command3, Qt::LeftButton);
    QCOMPARE(Stored(keys::kStartup), QStringLiteral("0"));
    QCOMPARE(Stored(keys::kAuto), QStringLiteral("1"));
    QCOMPARE(Form2::Instance(), nullptr);
    // Unloaded: the dialog goes away.
    QTRY_VERIFY(dialog.isNull());
}

void Form2Test::cancel_writesNothing()
{
    Store(keys::kAuto, QStringLiteral("1"));
    QPointer<Form2> dialog = OpenShown();
    ClickBox(dialog->Check1);
    ClickBox(dialog->Check2);
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);
    QCOMPARE(Stored(keys::kStartup), kAbsent);
    QCOMPARE(Stored(keys::kAuto), QStringLiteral("1"));
    QTRY_VERIFY(dialog.isNull());
}

void Form2Test::closeBox_writesNothing()
{
    QPointer<Form2> dialog = OpenShown();
    ClickBox(dialog->Check1);
    ClickBox(dialog->Check2);
    QVERIFY(dialog->close());
    QCOMPARE(Stored(keys::kStartup), kAbsent);
    QCOMPARE(Stored(keys::kAuto), kAbsent);
    QCOMPARE(Form2::Instance(), nullptr);
    QTRY_VERIFY(dialog.isNull());

    // The next opening shows the store again.
    Form2 *again = OpenShown();
    QCOMPARE(again->Check1->checkState(), Qt::Unchecked);
    QCOMPARE(again->Check2->checkState(), Qt::Checked);
}

void Form2Test::secondOpen_bringsTheSameDialogForward()
{
    Form2 *dialog = OpenShown();
    ClickBox(dialog->Check1);
    Store(keys::kAuto, QStringLiteral("0"));
    mainWindow_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(mainWindow_));

    QCOMPARE(Form2::Open(mainWindow_), dialog);
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](QWidget *w) { return qobject_cast<Form2 *>(w) != nullptr; }),
             1);
    // Not read again: the unsaved click stays, the new stored value is not shown.
    QCOMPARE(dialog->Check1->checkState(), Qt::Checked);
    QCOMPARE(dialog->Check2->checkState(), Qt::Checked);
}

void Form2Test::nextOpening_loadsAfresh()
{
    QPointer<Form2> first = OpenShown();
    QTest::mouseClick(first->Command2, Qt::LeftButton);
    Store(keys::kStartup, QStringLiteral("1"));
    Store(keys::kAuto, QStringLiteral("0"));
    // Opened again before the closed one is even deleted.
    Form2 *second = OpenShown();
    QVERIFY(second != first.data());
    QCOMPARE(second->Check1->checkState(), Qt::Checked);
    QCOMPARE(second->Check2->checkState(), Qt::Unchecked);
    QTRY_VERIFY(first.isNull());
    QCOMPARE(Form2::Instance(), second);
}

void Form2Test::enterAndEscape_pressNothing()
{
    Form2 *dialog = OpenShown();
    ClickBox(dialog->Check1);
    // A button pressed by a key goes down at once and is released later, so
    // no "pressed" at all means none will be clicked.
    QSignalSpy apply(dialog->Command1, &QPushButton::pressed);
    QSignalSpy cancel(dialog->Command2, &QPushButton::pressed);
    QSignalSpy ok(dialog->Command3, &QPushButton::pressed);
    for (QWidget *focus :
         {static_cast<QWidget *>(dialog->Check1), static_cast<QWidget *>(dialog->Command1),
          static_cast<QWidget *>(dialog->Command2), static_cast<QWidget *>(dialog->Command3)}) {
        focus->setFocus();
        QCOMPARE(QApplication::focusWidget(), focus);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(focus, key);
        QVERIFY(dialog->isVisible());
        QCOMPARE(Form2::Instance(), dialog);
    }
    QCOMPARE(apply.count() + cancel.count() + ok.count(), 0);
    QCOMPARE(Stored(keys::kStartup), kAbsent);
    QCOMPARE(Stored(keys::kAuto), kAbsent);
    QCOMPARE(dialog->Check1->checkState(), Qt::Checked);
}

void Form2Test::accessKeys_pressTheirButtons()
{
    // An access key presses its button the way a click does (the button
    // shows itself pressed for a moment, so the press lands a little later).
    QPointer<Form2> dialog = OpenShown();
    ClickBox(dialog->Check1);
    QSignalSpy applyPressed(dialog->Command1, &QPushButton::pressed);
    QTest::keyClick(dialog, Qt::Key_A, Qt::AltModifier);
    QCOMPARE(applyPressed.count(), 1);
    QTRY_COMPARE(Stored(keys::kStartup), QStringLiteral("1"));
    QVERIFY(dialog->isVisible());

    ClickBox(dialog->Check1);
    QTest::keyClick(dialog, Qt::Key_C, Qt::AltModifier);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(Stored(keys::kStartup), QStringLiteral("1"));

    dialog = OpenShown();
    ClickBox(dialog->Check2);
    QTest::keyClick(dialog, Qt::Key_O, Qt::AltModifier);
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(Stored(keys::kAuto), QStringLiteral("0"));
    QCOMPARE(Stored(keys::kStartup), QStringLiteral("1"));
}

void Form2Test::writeFailure_isReportedAndDialogStays()
{
    Form2 *dialog = OpenShown();
    // The settings folder becomes a plain file: no write can succeed now.
    const QString blocker = config_->filePath(QStringLiteral("blocked"));
    {
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));

    QTest::mouseClick(dialog->Command3, Qt::LeftButton);
    const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().title, QStringLiteral("Pagecrier"));
    QVERIFY2(shown.first().text.contains(QStringLiteral("Command3_Click")),
             qPrintable(shown.first().text));
    // The rest of OK is skipped: the dialog stays open and usable.
    QVERIFY(dialog->isVisible());
    QCOMPARE(Form2::Instance(), dialog);

    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    QCOMPARE(msgbox::seam::TakeShown().size(), 1);
    QTest::mouseClick(dialog->Command2, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QVERIFY(msgbox::seam::TakeShown().isEmpty());
}

QTEST_MAIN(Form2Test)
#include "tst_form2.moc"
