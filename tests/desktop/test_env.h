#pragma once

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <memory>

// Points the home, configuration, data and cache directories at a fresh
// temporary directory, so a test never reads or writes the real user's
// files. Call before the application object exists; keep the result alive
// for the whole run.
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
