#include "address_list.h"

#include "guarded_file.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <new>
#include <optional>

namespace {

const QString kFormatKey = QStringLiteral("format");
const QString kFormatName = QStringLiteral("pagecrier-addresses");
const QString kEntriesKey = QStringLiteral("addresses");

// A list file is a few dozen kilobytes; anything far larger is not ours.
// What was typed and visited is nobody else's business: the files are 0600
// in a 0700 folder.
const guardedfile::Kind kListKind{QStringLiteral("address list"), 4 * 1024 * 1024, true};

// The list as the file holds it, or nothing when the file is no such list.
std::optional<QStringList> parseList(const QByteArray &data, int limit)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();
    if (root.value(kFormatKey).toString() != kFormatName)
        return std::nullopt;
    const QJsonValue list = root.value(kEntriesKey);
    if (!list.isArray())
        return std::nullopt;

    QStringList entries;
    QSet<QString> seen;
    for (const QJsonValue &value : list.toArray()) {
        if (entries.size() >= limit)
            break;
        if (!value.isString())
            continue;
        const QString address = value.toString();
        if (address.isEmpty() || address.size() > AddressList::kMaxAddressLength ||
            seen.contains(address))
            continue;
        seen.insert(address);
        entries.append(address);
    }
    return entries;
}

} // namespace

AddressList::AddressList(const QString &filePath, int limit)
    : path_(filePath), limit_(limit > 0 ? limit : kDefaultLimit)
{}

void AddressList::Load()
{
    entries_.clear();
    try {
        const guardedfile::Contents contents = guardedfile::Read(kListKind, path_);
        if (contents.exists && !contents.tooLarge)
            entries_ = Parse(contents.bytes, limit_);
    } catch (const FileError &) {
    } catch (const std::bad_alloc &) {
    }
    index_ = QSet<QString>(entries_.cbegin(), entries_.cend());
}

bool AddressList::Remember(const QString &address)
{
    if (address.isEmpty() || address.size() > kMaxAddressLength)
        return true;
    // Under the file's lock from the read to the replace, so that another
    // running copy remembering at the same time loses nothing.
    try {
        guardedfile::Change change(kListKind, path_);
        const guardedfile::Contents &contents = change.contents();
        std::optional<QStringList> stored;
        if (contents.exists && !contents.tooLarge)
            stored = parseList(contents.bytes, limit_);
        // A file that is no list is kept aside, never just written over.
        if (contents.exists && !stored)
            change.KeepAside();
        entries_ = stored.value_or(QStringList());
        entries_.removeAll(address);
        entries_.prepend(address);
        while (entries_.size() > limit_)
            entries_.removeLast();
        index_ = QSet<QString>(entries_.cbegin(), entries_.cend());
        change.Replace(Serialize(entries_));
        return true;
    } catch (const FileError &) {
    } catch (const std::bad_alloc &) {
    }
    // Not written: the address is remembered for this run at least.
    if (!index_.contains(address)) {
        entries_.prepend(address);
        index_.insert(address);
        while (entries_.size() > limit_)
            index_.remove(entries_.takeLast());
    }
    return false;
}

QByteArray AddressList::Serialize(const QStringList &entries)
{
    QJsonObject root;
    root.insert(kFormatKey, kFormatName);
    root.insert(kEntriesKey, QJsonArray::fromStringList(entries));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QStringList AddressList::Parse(const QByteArray &data, int limit)
{
    return parseList(data, limit).value_or(QStringList());
}
