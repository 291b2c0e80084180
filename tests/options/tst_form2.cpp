// The Options dialog against a real settings file in a temporary folder.
#include "form2.h"
#include "msgbox.h"
#include "options_helpers.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

class Form2Test : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        config_.emplace();
        QVERIFY(config_->isValid());
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_->path()));
        msgbox::seam::Enable();
        mainWindow_ = std::make_unique<QWidget>();
        mainWindow_->setGeometry(100, 100, 600, 400);
        mainWindow_->show();
    }

    void cleanup()
    {
        delete Form2::Instance();
        QCOMPARE(Form2::Instance(), nullptr);
        mainWindow_.reset();
        msgbox::seam::Disable();
        config_.reset();
    }

    void layout_matchesTheDesign()
    {
        Form2 *dialog = OpenShown();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), u"Options"_s);
        // A window of its own, owned by nobody.
        QVERIFY(dialog->isWindow());
        QCOMPARE(dialog->parentWidget(), nullptr);
        for (const QSize &size : {dialog->size(), dialog->minimumSize(), dialog->maximumSize()})
            QCOMPARE(size, QSize(368, 103));
        const Qt::WindowFlags flags = dialog->windowFlags();
        QVERIFY((flags & Qt::Dialog) && (flags & Qt::WindowCloseButtonHint));
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(!dialog->isModal());

        // Centred over the main window.
        const QPoint offCentre =
            dialog->geometry().center() - mainWindow_->frameGeometry().center();
        QVERIFY2(offCentre.manhattanLength() <= 4,
                 qPrintable(u"%1,%2"_s.arg(offCentre.x()).arg(offCentre.y())));

        struct Row
        {
            QAbstractButton *control;
            const char *name;
            QString caption;
            QRect rect;
        };
        const QList<Row> rows = {
            {dialog->Check1, "Check1", u"Load Favs on program Startup"_s, QRect(8, 8, 209, 17)},
            {dialog->Check2, "Check2",
             u"Use Auto-Complete for URL field (Requires Program Restart)"_s,
             QRect(8, 32, 329, 17)},
            {dialog->Command1, "Command1", u"&Apply"_s, QRect(280, 72, 81, 25)},
            {dialog->Command2, "Command2", u"&Cancel"_s, QRect(192, 72, 81, 25)},
            {dialog->Command3, "Command3", u"&OK"_s, QRect(104, 72, 81, 25)},
        };
        QList<QWidget *> tabOrder;
        for (const Row &row : rows) {
            QVERIFY(row.control);
            QCOMPARE(dialog->findChild<QWidget *>(QLatin1String(row.name)), row.control);
            QCOMPARE(row.control->text(), row.caption);
            QCOMPARE(row.control->geometry(), row.rect);
            tabOrder.append(row.control);
        }

        // Tab order: the boxes, then Apply, Cancel, OK, and round again.
        QCOMPARE(QApplication::focusWidget(), dialog->Check1);
        for (int i = 1; i <= tabOrder.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), tabOrder[i % tabOrder.size()]);
        }
    }

    void stored_isShownAndWrittenBack_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<BoxStates>("shown");
        QTest::addColumn<QStringList>("written");
        QTest::newRow("\"0\"") << u"0"_s << BoxStates(Qt::Unchecked, Qt::Unchecked)
                               << QStringList({"0", "0"});
        QTest::newRow("\"1\"") << u"1"_s << BoxStates(Qt::Checked, Qt::Checked)
                               << QStringList({"1", "1"});
        QTest::newRow("\"2\"") << u"2"_s << BoxStates(Qt::PartiallyChecked, Qt::PartiallyChecked)
                               << QStringList({"2", "2"});
        // Nothing stored, or anything else: the defaults, without complaint.
        for (const QString &stored :
             {kAbsent, u"yes please"_s, QString(), u"3"_s, u"-1"_s, u"99999999999999999999"_s})
            QTest::addRow("\"%s\"", qPrintable(stored))
                << stored << BoxStates(Qt::Unchecked, Qt::Checked) << QStringList({"0", "1"});
    }

    void stored_isShownAndWrittenBack()
    {
        QFETCH(QString, stored);
        QFETCH(BoxStates, shown);
        QFETCH(QStringList, written);
        if (stored != kAbsent)
            StoreOptions(stored, stored);
        Form2 *dialog = OpenShown();
        QVERIFY(dialog->isVisible());
        QCOMPARE(Boxes(dialog), shown);
        // Reading writes nothing and reports nothing.
        QCOMPARE(StoredOptions(), QStringList({stored, stored}));
        QVERIFY(msgbox::seam::ShownSoFar().isEmpty());

        StoreOptions(u"x"_s, u"x"_s);
        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        QCOMPARE(StoredOptions(), written);
    }

    void click_togglesBetweenClearedAndChecked()
    {
        Store(keys::kStartup, u"2"_s);
        Form2 *dialog = OpenShown();
        QCOMPARE(dialog->Check1->checkState(), Qt::PartiallyChecked);
        for (Qt::CheckState expected : {Qt::Checked, Qt::Unchecked, Qt::Checked}) {
            ClickBox(dialog->Check1);
            QCOMPARE(dialog->Check1->checkState(), expected);
        }
        // The space bar toggles the focused box the same way.
        dialog->Check2->setFocus();
        for (Qt::CheckState expected : {Qt::Unchecked, Qt::Checked}) {
            QTest::keyClick(dialog->Check2, Qt::Key_Space);
            QCOMPARE(dialog->Check2->checkState(), expected);
        }
    }

    void buttons_writeAndClose_data()
    {
        // What is stored before ("" for nothing), the controls clicked in turn
        // ("close" for the close box), what is stored then, and what the dialog
        // shows afterwards (once opened again when it closed).
        QTest::addColumn<QString>("autoBefore");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("staysOpen");
        QTest::addColumn<BoxStates>("shown");
        QTest::newRow("Apply writes both, stays open")
            << QString() << QStringList({"Check1", "Check2", "Command1"}) << QStringList({"1", "0"})
            << true << BoxStates(Qt::Checked, Qt::Unchecked);
        QTest::newRow("OK unchanged writes both, closes")
            << QString() << QStringList{"Command3"} << QStringList({"0", "1"}) << false
            << BoxStates(Qt::Unchecked, Qt::Checked);
        QTest::newRow("Cancel writes nothing")
            << u"1"_s << QStringList({"Check1", "Check2", "Command2"})
            << QStringList({kAbsent, "1"}) << false << BoxStates(Qt::Unchecked, Qt::Checked);
        QTest::newRow("close box writes nothing")
            << QString() << QStringList({"Check1", "Check2", "close"})
            << QStringList({kAbsent, kAbsent}) << false << BoxStates(Qt::Unchecked, Qt::Checked);
        QTest::newRow("Cancel keeps what Apply wrote")
            << QString() << QStringList({"Check1", "Command1", "Check1", "Check2", "Command2"})
            << QStringList({"1", "1"}) << false << BoxStates(Qt::Checked, Qt::Checked);
    }

    void buttons_writeAndClose()
    {
        QFETCH(QString, autoBefore);
        QFETCH(QStringList, clicks);
        QFETCH(QStringList, stored);
        QFETCH(bool, staysOpen);
        QFETCH(BoxStates, shown);
        if (!autoBefore.isEmpty())
            Store(keys::kAuto, autoBefore);
        QPointer<Form2> dialog = OpenShown();
        for (const QString &name : clicks) {
            if (name == u"close"_s)
                QVERIFY(dialog->close());
            else if (auto *box = dialog->findChild<QCheckBox *>(name))
                ClickBox(box);
            else
                QTest::mouseClick(dialog->findChild<QPushButton *>(name), Qt::LeftButton);
        }
        QCOMPARE(StoredOptions(), stored);
        QCOMPARE(!dialog.isNull() && dialog->isVisible(), staysOpen);
        QCOMPARE(Form2::Instance(), staysOpen ? dialog.data() : nullptr);
        if (!staysOpen) {
            // Unloaded: the dialog goes away, and the next opening reads the store.
            QTRY_VERIFY(dialog.isNull());
            dialog = OpenShown();
        }
        QCOMPARE(Boxes(dialog), shown);
    }

    void secondOpen_bringsTheSameDialogForward()
    {
        Form2 *dialog = OpenShown();
        ClickBox(dialog->Check1);
        Store(keys::kAuto, u"0"_s);
        Activate(mainWindow_.get());

        QCOMPARE(Form2::Open(mainWindow_.get()), dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(OptionsWindows(), 1);
        // Not read again: the unsaved click stays, the new stored value is not shown.
        QCOMPARE(Boxes(dialog), BoxStates(Qt::Checked, Qt::Checked));
    }

    void nextOpening_loadsAfresh()
    {
        QPointer<Form2> first = OpenShown();
        QTest::mouseClick(first->Command2, Qt::LeftButton);
        StoreOptions(u"1"_s, u"0"_s);
        // Opened again before the closed one is even deleted.
        Form2 *second = OpenShown();
        QVERIFY(second != first.data());
        QCOMPARE(Boxes(second), BoxStates(Qt::Checked, Qt::Unchecked));
        QTRY_VERIFY(first.isNull());
        QCOMPARE(Form2::Instance(), second);
    }

    void enterAndEscape_pressNothing()
    {
        Form2 *dialog = OpenShown();
        ClickBox(dialog->Check1);
        // A key presses a button at once and releases it later: no "pressed" at
        // all means nothing will be clicked.
        QSignalSpy apply(dialog->Command1, &QPushButton::pressed);
        QSignalSpy cancel(dialog->Command2, &QPushButton::pressed);
        QSignalSpy ok(dialog->Command3, &QPushButton::pressed);
        for (QWidget *focus : QList<QWidget *>{dialog->Check1, dialog->Command1, dialog->Command2,
                                               dialog->Command3}) {
            focus->setFocus();
            QCOMPARE(QApplication::focusWidget(), focus);
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(focus, key);
            QVERIFY(dialog->isVisible());
            QCOMPARE(Form2::Instance(), dialog);
        }
        QCOMPARE(apply.count() + cancel.count() + ok.count(), 0);
        QCOMPARE(StoredOptions(), QStringList({kAbsent, kAbsent}));
        QCOMPARE(dialog->Check1->checkState(), Qt::Checked);
    }

    void accessKeys_pressTheirButtons()
    {
        // An access key presses its button the way a click does; the button
        // shows itself pressed for a moment, so the click lands a little later.
        QPointer<Form2> dialog = OpenShown();
        ClickBox(dialog->Check1);
        QSignalSpy applyPressed(dialog->Command1, &QPushButton::pressed);
        QTest::keyClick(dialog, Qt::Key_A, Qt::AltModifier);
        QCOMPARE(applyPressed.count(), 1);
        QTRY_COMPARE(Stored(keys::kStartup), u"1"_s);
        QVERIFY(dialog->isVisible());

        ClickBox(dialog->Check1);
        QTest::keyClick(dialog, Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(Stored(keys::kStartup), u"1"_s);

        dialog = OpenShown();
        ClickBox(dialog->Check2);
        QTest::keyClick(dialog, Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(dialog.isNull());
        QCOMPARE(StoredOptions(), QStringList({"1", "0"}));
    }

    void writeFailure_isReportedAndDialogStays()
    {
        Form2 *dialog = OpenShown();
        // The settings folder becomes a plain file: no write can succeed now.
        const QString blocker = config_->filePath(u"blocked"_s);
        Make(config_->path(), {"blocked"});
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker));

        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().title, u"Pagecrier"_s);
        QVERIFY2(shown.first().text.contains(u"Command3_Click"_s), qPrintable(shown.first().text));
        // The rest of OK is skipped: the dialog stays open and usable.
        QVERIFY(dialog->isVisible());
        QCOMPARE(Form2::Instance(), dialog);

        QTest::mouseClick(dialog->Command1, Qt::LeftButton);
        QCOMPARE(msgbox::seam::TakeShown().size(), 1);
        QTest::mouseClick(dialog->Command2, Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QVERIFY(msgbox::seam::TakeShown().isEmpty());
    }

private:
    Form2 *OpenShown() { return WhenActive(Form2::Open(mainWindow_.get())); }

    std::optional<QTemporaryDir> config_;
    std::unique_ptr<QWidget> mainWindow_;
};

QTEST_MAIN(Form2Test)
#include "tst_form2.moc"
