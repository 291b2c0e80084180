#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The program's modules (the web engine's, the network's) are loaded after
// the main window shows. They live in one folder: beside the program's
// library folder once installed, where the build put them in the build tree.

// Where the module file fileName is looked for, in turn.
QStringList ModuleCandidates(const QString &fileName);

// Loads the first of candidates that exists, for the rest of the run, and
// resolves symbol in it. Null when none can be: error then says why, naming
// the module as what ("web engine").
QFunctionPointer ResolveModule(const QStringList &candidates, const char *symbol,
                               const QString &what, QString *error);
