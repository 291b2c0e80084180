#include "module.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>

QStringList ModuleCandidates(const QString &fileName)
{
    return {QDir(QCoreApplication::applicationDirPath())
                .filePath(QStringLiteral(PAGECRIER_MODULE_FROM_BIN "/") + fileName),
            QStringLiteral(PAGECRIER_MODULE_BUILD_DIR "/") + fileName};
}

QFunctionPointer ResolveModule(const QStringList &candidates, const char *symbol,
                               const QString &what, QString *error)
{
    QStringList errors;
    for (const QString &candidate : candidates) {
        if (!QFile::exists(candidate))
            continue;
        // Never unloaded: what the module makes lives as long as the program.
        QLibrary module(candidate);
        if (const QFunctionPointer function = module.resolve(symbol))
            return function;
        errors << module.errorString();
    }
    *error = errors.isEmpty() ? QStringLiteral("The %1 module was not found (looked for %2).")
                                    .arg(what, candidates.join(QStringLiteral(", ")))
                              : QStringLiteral("The %1 module could not be loaded: %2")
                                    .arg(what, errors.join(QStringLiteral("; ")));
    return nullptr;
}
