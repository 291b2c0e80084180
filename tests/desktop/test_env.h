#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <memory>

// Points HOME and the XDG config, data and cache folders at a fresh temporary
// folder, so a test never touches the user's own files. Call before the
// application object exists; keep the result alive for the whole run.
inline std::unique_ptr<QTemporaryDir> UseScratchUserDirs()
{
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        qFatal("cannot create a temporary directory");
    qputenv("HOME", QFile::encodeName(dir->path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir->filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir->filePath(QStringLiteral("data"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(dir->filePath(QStringLiteral("cache"))));
    return dir;
}
