#include "settings_store.h"

#include "guarded_file.h"
#include "msgbox.h"
#include "settings_file.h"

#include <QDir>

#include <new>
#include <optional>

// Reading and writing go through guardedfile: links are followed only to a
// regular file of the user's own, what is read is bounded, and each write is
// one locked read-modify-replace of the whole file. Readers need no lock,
// since the file is only ever replaced whole.
namespace {

// A settings file holds five short entries. The bounds leave room for
// favorites of any length anyone would type or paste, and keep the parse of
// the worst file they let through within a fraction of a second and a few
// dozen megabytes.
const guardedfile::Kind kSettingsKind{QStringLiteral("settings file"), SettingsStore::kMaxFileSize,
                                      false};

QString noMemory(const QString &path, qint64 size)
{
    return QStringLiteral("The settings file %1 cannot be read: there is not enough memory for "
                          "its %2 bytes.")
        .arg(path, QString::number(size));
}

// The file parsed, or nothing and *refusal saying why it is not read.
std::optional<settingsfile::Document> parse(const QString &path,
                                            const guardedfile::Contents &contents, QString *refusal)
{
    if (contents.tooLarge) {
        *refusal = guardedfile::TooLargeText(kSettingsKind, path, contents.size);
        return std::nullopt;
    }
    try {
        settingsfile::Document doc = settingsfile::Parse(contents.bytes);
        if (!doc.tooManyLines)
            return doc;
    } catch (const std::bad_alloc &) {
        throw SettingsError(noMemory(path, contents.size));
    }
    *refusal =
        QStringLiteral("The settings file %1 (%2 bytes) has more than %3 lines that are "
                       "not blank, more than such a file may hold, and is not read.")
            .arg(path, QString::number(contents.size), QString::number(settingsfile::kMaxLines));
    return std::nullopt;
}

} // namespace

QString DataFolder()
{
    // XDG: a relative XDG_DATA_HOME is to be ignored.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/pagecrier");
}

QString SettingsStore::DefaultPath()
{
    // XDG: a relative XDG_CONFIG_HOME is to be ignored.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty())
            home = QDir::homePath();
        base = home + QStringLiteral("/.config");
    }
    return QDir::cleanPath(base + QStringLiteral("/pagecrier/pagecrier.ini"));
}

SettingsStore::SettingsStore(const QString &filePath) : path_(filePath)
{}

QString SettingsStore::ReadSetting(const QString &appName, const QString &section,
                                   const QString &key, const QString &def) const
{
    return ReadSettings(appName, section, {{key, def}}).constFirst();
}

QStringList SettingsStore::ReadSettings(const QString &appName, const QString &section,
                                        const Pairs &keysAndDefaults) const
{
    guardedfile::Contents contents;
    try {
        contents = guardedfile::Read(kSettingsKind, path_);
    } catch (const FileError &error) {
        throw SettingsError(error.message());
    }
    QStringList values;
    if (!contents.exists) {
        for (const auto &pair : keysAndDefaults)
            values << pair.second;
        return values;
    }
    QString refusal;
    const std::optional<settingsfile::Document> doc = parse(path_, contents, &refusal);
    if (!doc)
        throw SettingsError(refusal + QStringLiteral(" It is left as it is."));
    for (const auto &pair : keysAndDefaults)
        values << doc->Find(appName, section, pair.first).value_or(pair.second);
    return values;
}

void SettingsStore::WriteSetting(const QString &appName, const QString &section, const QString &key,
                                 const QString &value)
{
    WriteSettings(appName, section, {{key, value}});
}

void SettingsStore::WriteSettings(const QString &appName, const QString &section,
                                  const Pairs &keysAndValues)
{
    // Told after the lock is let go, so a message left open on the screen
    // does not hold up another running copy.
    QString notice;
    try {
        guardedfile::Change change(kSettingsKind, path_);
        const guardedfile::Contents &contents = change.contents();
        settingsfile::Document doc;
        QString refusal;
        if (std::optional<settingsfile::Document> parsed = parse(path_, contents, &refusal)) {
            doc = std::move(*parsed);
        } else if (contents.exists) {
            const QString copy = change.KeepAside();
            notice = refusal + QStringLiteral(" It was kept as %1, and a new settings file is "
                                              "started.")
                                   .arg(copy);
        }
        if (doc.damaged()) {
            const QString copy = change.KeepAside();
            notice = QStringLiteral("The settings file %1 was damaged: %2 line(s) could not be "
                                    "read and are left out from now on. The entries that could "
                                    "be read are kept. A copy of the damaged file was saved as "
                                    "%3.")
                         .arg(path_, QString::number(doc.problems.size()), copy);
        }
        for (const auto &pair : keysAndValues)
            doc.Set(appName, section, pair.first, pair.second);
        const QByteArray bytes = settingsfile::Serialize(doc);
        if (bytes.size() > kMaxFileSize)
            throw SettingsError(
                QStringLiteral("The settings file %1 cannot be written: it would be %2 bytes "
                               "long, more than the %3 bytes a settings file may hold. It is "
                               "left as it was.")
                    .arg(path_, QString::number(bytes.size()), QString::number(kMaxFileSize)));
        change.Replace(bytes);
    } catch (const std::exception &error) {
        if (!notice.isEmpty())
            msgbox::Show(notice, msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
        if (dynamic_cast<const SettingsError *>(&error))
            throw;
        if (const auto *fileError = dynamic_cast<const FileError *>(&error))
            throw SettingsError(fileError->message());
        if (dynamic_cast<const std::bad_alloc *>(&error))
            throw SettingsError(QStringLiteral("The settings file %1 cannot be written: there "
                                               "is not enough memory. It is left as it was.")
                                    .arg(path_));
        throw;
    }
    if (!notice.isEmpty())
        msgbox::Show(notice, msgbox::MB_OK | msgbox::MB_ICONINFORMATION);
}
