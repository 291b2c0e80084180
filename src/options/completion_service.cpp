#include "completion_service.h"

#include <QDir>
#include <QSet>
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
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/pagecrier");
}

QStringList CompletionService::Candidates(const QString &typed)
{
    QStringList result;
    if (typed.isEmpty())
        return result;
    QSet<QString> seen;
    const auto add = [&](const QStringList &from) {
        for (const QString &candidate : from) {
            if (candidate.startsWith(typed, Qt::CaseInsensitive) && !seen.contains(candidate)) {
                seen.insert(candidate);
                result.append(candidate);
            }
        }
    };
    add(typed_.entries());
    add(visited_.entries());
    add(paths_.Candidates(typed));
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
