#pragma once

// Helpers shared by the options and address-completion tests.
#include "form2.h"
#include "keys.h"
#include "settings_store.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <utility>

// The candidates the field's completion list offers once it comes up, or
// "<no list>" when none comes up.
inline QStringList Offered(QLineEdit *field)
{
    QCompleter *completer = field->completer();
    if (!completer || !QTest::qWaitFor([completer] { return completer->popup()->isVisible(); }))
        return {QStringLiteral("<no list>")};
    QStringList rows;
    QAbstractItemModel *model = completer->completionModel();
    for (int row = 0; row < model->rowCount(); ++row)
        rows.append(model->index(row, 0).data().toString());
    return rows;
}

// Creates the named entries in folder: a folder for a name ending in "/",
// an empty file otherwise.
inline void Make(const QString &folder, const QStringList &names)
{
    for (const QString &name : names) {
        const bool made = name.endsWith(QLatin1Char('/'))
                              ? QDir(folder).mkpath(name)
                              : QFile(folder + QLatin1Char('/') + name).open(QIODevice::WriteOnly);
        QVERIFY2(made, qPrintable(name));
    }
}

// The names written below folder, as the candidates show them.
inline QStringList Under(const QString &folder, const QStringList &names)
{
    QStringList paths;
    for (const QString &name : names)
        paths.append(folder + QLatin1Char('/') + name);
    return paths;
}

inline void Activate(QWidget *window)
{
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

// What a read gives for a key never written.
inline const QString kAbsent = QStringLiteral("<absent>");

inline QString Stored(const QString &key)
{
    return SettingsStore().ReadSetting(keys::kApp, keys::kSection, key, kAbsent);
}

inline void Store(const QString &key, const QString &value)
{
    SettingsStore().WriteSetting(keys::kApp, keys::kSection, key, value);
}

inline void StoreOptions(const QString &startup, const QString &autoComplete)
{
    Store(keys::kStartup, startup);
    Store(keys::kAuto, autoComplete);
}

// Both options as stored: start-up, then auto-complete.
inline QStringList StoredOptions()
{
    return {Stored(keys::kStartup), Stored(keys::kAuto)};
}

// Clicks a check box on its square, where a user would.
inline void ClickBox(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// The dialog's two boxes: start-up, then auto-complete.
using BoxStates = std::pair<Qt::CheckState, Qt::CheckState>;
inline BoxStates Boxes(const Form2 *dialog)
{
    return {dialog->Check1->checkState(), dialog->Check2->checkState()};
}

inline Form2 *WhenActive(Form2 *dialog)
{
    if (dialog && !QTest::qWaitForWindowActive(dialog))
        qWarning("the Options dialog did not become active");
    return dialog;
}

// How many Options dialogs are open as windows.
inline int OptionsWindows()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return int(std::count_if(windows.begin(), windows.end(),
                             [](QWidget *w) { return qobject_cast<Form2 *>(w) != nullptr; }));
}
