#pragma once

#include "failure.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// A store that cannot be read or written. The message names the file and
// the cause.
class SettingsError : public Failure
{
public:
    using Failure::Failure;
};

// The per-user data folder: $XDG_DATA_HOME/pagecrier, or
// ~/.local/share/pagecrier (the completion lists, the IndexNow record).
QString DataFolder();

// Per-user store of text values addressed by application name, section and
// key. Names are matched without regard to letter case; values are any text.
// Nothing is cached: every call goes to the file, so each read sees the last
// write, whichever running copy of the program made it.
class SettingsStore
{
public:
    // The per-user file: $XDG_CONFIG_HOME/pagecrier/pagecrier.ini (or
    // ~/.config/...), looked up afresh on each call.
    static QString DefaultPath();

    explicit SettingsStore(const QString &filePath = DefaultPath());

    // The stored text, or def when the application, section or key is absent
    // (creating nothing). Throws SettingsError when the file cannot be read.
    QString ReadSetting(const QString &appName, const QString &section, const QString &key,
                        const QString &def) const;

    // Stores value, replacing any earlier one; on return it is on disk.
    // Throws SettingsError when the file cannot be written.
    void WriteSetting(const QString &appName, const QString &section, const QString &key,
                      const QString &value);

    // Several keys of one section: one read of the file for them all. Gives
    // the values in the order of the keys, each key's default when absent.
    using Pairs = QList<std::pair<QString, QString>>;
    QStringList ReadSettings(const QString &appName, const QString &section,
                             const Pairs &keysAndDefaults) const;

    // Several keys of one section in one change of the file: after a crash
    // at any moment, or another copy writing at the same time, the file
    // holds all of them or none.
    void WriteSettings(const QString &appName, const QString &section, const Pairs &keysAndValues);

    // A larger file, or one with more than settingsfile::kMaxLines lines
    // that are not blank, is not read (reads fail naming it and its size);
    // the next write keeps it aside and starts afresh, telling the user.
    // Nothing larger is ever written.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    QString path() const { return path_; }

private:
    QString path_;
};
