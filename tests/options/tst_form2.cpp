// The Options dialog against a real settings file in the scratch folder.
#include "form2.h"
#include "keys.h"
#include "settings_store.h"
#include "test_support.h"

#include <QCheckBox>
#include <QPointer>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

const QString kAbsent = u"-"_s;

QStringList StoredOptions()
{
    const SettingsStore store;
    return {store.ReadSetting(keys::kApp, keys::kSection, keys::kStartup, kAbsent),
            store.ReadSetting(keys::kApp, keys::kSection, keys::kAuto, kAbsent)};
}

QList<Qt::CheckState> Boxes(const Form2 *dialog)
{
    return {dialog->Check1->checkState(), dialog->Check2->checkState()};
}

void ClickBox(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

Form2 *OpenShown(QWidget *mainWindow = nullptr)
{
    Form2 *dialog = Form2::Open(mainWindow);
    if (!QTest::qWaitForWindowActive(dialog))
        qWarning("the Options dialog did not become active");
    return dialog;
}

} // namespace

class TestForm2 : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Scratch(true);
        msgbox::seam::Enable();
    }

    void cleanup()
    {
        delete Form2::Instance();
        QCOMPARE(ShownTexts(), QStringList());
    }

    void buttons_data()
    {
        // Stored before (start-up, auto-complete), what the boxes show, the
        // controls pressed by name ("close": the close box, "Alt+x": a key),
        // then what is stored and whether the dialog stays open.
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QList<Qt::CheckState>>("shown");
        QTest::addColumn<QStringList>("presses");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<bool>("open");
        const auto C = Qt::Checked, U = Qt::Unchecked, P = Qt::PartiallyChecked;
        QTest::newRow("OK writes as shown") << QStringList({"1", "0"}) << QList{C, U}
                                            << QStringList{"Command3"} << QStringList({"1", "0"})
                                            << false;
        QTest::newRow("indeterminate, clicked, Apply")
            << QStringList({"2", "2"}) << QList{P, P} << QStringList({"Check1", "Command1"})
            << QStringList({"1", "2"}) << true;
        QTest::newRow("junk: the defaults") << QStringList({"abc", "3"}) << QList{U, C}
                                            << QStringList{"Alt+O"} << QStringList({"0", "1"})
                                            << false;
        QTest::newRow("Cancel writes nothing")
            << QStringList() << QList{U, C} << QStringList({"Check1", "Check2", "Command2"})
            << QStringList({kAbsent, kAbsent}) << false;
        QTest::newRow("close box writes nothing") << QStringList() << QList{U, C}
                                                  << QStringList({"Check2", "close"})
                                                  << QStringList({kAbsent, kAbsent}) << false;
        QTest::newRow("Cancel keeps what Apply wrote")
            << QStringList() << QList{U, C}
            << QStringList({"Check1", "Alt+A", "Check2", "Alt+C"}) << QStringList({"1", "1"})
            << false;
    }

    void buttons()
    {
        QFETCH(QStringList, before);
        QFETCH(QList<Qt::CheckState>, shown);
        QFETCH(QStringList, presses);
        QFETCH(QStringList, after);
        QFETCH(bool, open);
        if (!before.isEmpty()) {
            SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kStartup, before[0]);
            SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kAuto, before[1]);
        }
        QPointer<Form2> dialog = OpenShown();
        QCOMPARE(Boxes(dialog), shown);
        for (const QString &name : presses) {
            if (name == u"close"_s)
                dialog->close();
            else if (name.startsWith(u"Alt+"_s)) // the click lands a moment later
                QTest::keyClick(dialog, name.back().toLatin1(), Qt::AltModifier), QTest::qWait(150);
            else if (auto *box = dialog->findChild<QCheckBox *>(name))
                ClickBox(box);
            else
                QTest::mouseClick(dialog->findChild<QPushButton *>(name), Qt::LeftButton);
        }
        QCOMPARE(StoredOptions(), after);
        QTRY_COMPARE(!dialog.isNull() && dialog->isVisible(), open);
        QCOMPARE(Form2::Instance() != nullptr, open);
    }

    void enterAndEscape_pressNothing()
    {
        Form2 *dialog = OpenShown();
        ClickBox(dialog->Check1);
        for (QWidget *focus : QList<QWidget *>{dialog->Check1, dialog->Command1, dialog->Command2,
                                               dialog->Command3}) {
            focus->setFocus();
            for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
                QTest::keyClick(focus, key);
        }
        QTest::qWait(100);
        QCOMPARE(Form2::Instance(), dialog);
        QVERIFY(dialog->isVisible());
        QCOMPARE(StoredOptions(), QStringList({kAbsent, kAbsent}));
        QCOMPARE(dialog->Check1->checkState(), Qt::Checked);
    }

    void openWhileOpen_sameDialogCentred_notReadAgain()
    {
        QWidget mainWindow;
        mainWindow.setGeometry(100, 100, 600, 400);
        mainWindow.show();
        Form2 *dialog = OpenShown(&mainWindow);
        QVERIFY(!dialog->parentWidget() && !dialog->isModal());
        QVERIFY((dialog->geometry().center() - mainWindow.frameGeometry().center())
                    .manhattanLength() <= 4);
        ClickBox(dialog->Check1);
        SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kAuto, u"0"_s);
        mainWindow.activateWindow();
        QCOMPARE(OpenShown(&mainWindow), dialog);
        QCOMPARE(Boxes(dialog), QList({Qt::Checked, Qt::Checked}));
    }

    void writeFailure_isReported_dialogStays()
    {
        Form2 *dialog = OpenShown();
        qputenv("XDG_CONFIG_HOME", "/proc/version"); // a file where a folder should be
        QTest::mouseClick(dialog->Command3, Qt::LeftButton);
        const QList<msgbox::Shown> shown = msgbox::seam::TakeShown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.contains(u"Command3_Click"_s), qPrintable(shown[0].text));
        QVERIFY(dialog->isVisible());
        QCOMPARE(Form2::Instance(), dialog);
    }
};

PAGECRIER_TEST_MAIN(TestForm2)
#include "tst_form2.moc"
