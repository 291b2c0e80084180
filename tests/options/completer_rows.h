#pragma once

#include <QAbstractItemModel>
#include <QCompleter>
#include <QStringList>

// The candidates a completer offers now, in the order of its list.
inline QStringList Shown(QCompleter *completer)
{
    QStringList rows;
    QAbstractItemModel *model = completer->completionModel();
    for (int row = 0; row < model->rowCount(); ++row)
        rows.append(model->index(row, 0).data().toString());
    return rows;
}
