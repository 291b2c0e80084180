#include "completion_service.h"

#include "settings_store.h"

#include <QDir>
#include <QUrl>

CompletionService::CompletionService(const QString &dataDir, int limit)
    : typed_(dataDir + QStringLiteral("/typed-addresses.json"), limit),
      visited_(dataDir + QStringLiteral("/visited-addresses.json"), limit)
{
    typed_.Load();
    visited_.Load();
}

QString CompletionService::DefaultDataDir()
{
    return DataFolder();
}

QStringList CompletionService::Candidates(const QString &typed)
{
    QStringList result;
    if (typed.isEmpty())
        return result;
    // Each list is free of duplicates in itself; an entry is left out when
    // an earlier list has it.
    for (const QString &address : typed_.entries()) {
        if (result.size() >= kMaxCandidates)
            return result;
        if (address.startsWith(typed, Qt::CaseInsensitive))
            result.append(address);
    }
    for (const QString &address : visited_.entries()) {
        if (result.size() >= kMaxCandidates)
            return result;
        if (address.startsWith(typed, Qt::CaseInsensitive) && !typed_.contains(address))
            result.append(address);
    }
    for (const QString &path : paths_.Candidates(typed, kMaxCandidates - result.size())) {
        if (result.size() >= kMaxCandidates)
            return result;
        if (!typed_.contains(path) && !visited_.contains(path))
            result.append(path);
    }
    return result;
}

void CompletionService::RememberTyped(const QString &address)
{
    typed_.Remember(address);
}

void CompletionService::RememberVisited(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return;
    visited_.Remember(url.toString());
}
