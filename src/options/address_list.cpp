#include "address_list.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>

namespace {

const QString kFormatKey = QStringLiteral("format");
const QString kFormatName = QStringLiteral("pagecrier-addresses");
const QString kEntriesKey = QStringLiteral("addresses");

// A list file is a few dozen kilobytes; anything far larger is not ours.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

} // namespace

AddressList::AddressList(const QString &filePath, int limit)
    : path_(filePath), limit_(limit > 0 ? limit : kDefaultLimit)
{}

void AddressList::Load()
{
    entries_.clear();
    QFile file(path_);
    if (file.size() <= kMaxFileSize && file.open(QIODevice::ReadOnly))
        entries_ = Parse(file.readAll(), limit_);
    index_ = QSet<QString>(entries_.cbegin(), entries_.cend());
}

bool AddressList::Remember(const QString &address)
{
    if (address.isEmpty())
        return true;
    Load();
    entries_.removeAll(address);
    entries_.prepend(address);
    index_.insert(address);
    while (entries_.size() > limit_)
        index_.remove(entries_.takeLast());
    return Save();
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
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    const QJsonObject root = doc.object();
    if (root.value(kFormatKey).toString() != kFormatName)
        return {};
    const QJsonValue list = root.value(kEntriesKey);
    if (!list.isArray())
        return {};

    QStringList entries;
    QSet<QString> seen;
    for (const QJsonValue &value : list.toArray()) {
        if (entries.size() >= limit)
            break;
        if (!value.isString())
            continue;
        const QString address = value.toString();
        if (address.isEmpty() || seen.contains(address))
            continue;
        seen.insert(address);
        entries.append(address);
    }
    return entries;
}

bool AddressList::Save() const
{
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        return false;
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = Serialize(entries_);
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
