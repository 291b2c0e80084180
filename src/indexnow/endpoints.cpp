#include "endpoints.h"

#include "keys.h"
#include "settings_store.h"

#include <QUrl>

namespace indexnow {

const QList<Endpoint> &Endpoints()
{
    static const QList<Endpoint> endpoints = {
        {"indexnow", "IndexNow (all engines)", "https://api.indexnow.org"},
        {"bing", "Bing", "https://www.bing.com"},
        {"yandex", "Yandex", "https://yandex.com"},
        {"seznam", "Seznam", "https://search.seznam.cz"},
        {"naver", "Naver", "https://searchadvisor.naver.com"},
        {"yep", "Yep", "https://indexnow.yep.com"},
    };
    return endpoints;
}

namespace {

const Endpoint *Find(const QString &id)
{
    for (const Endpoint &endpoint : Endpoints()) {
        if (id.compare(QLatin1String(endpoint.id), Qt::CaseInsensitive) == 0)
            return &endpoint;
    }
    return nullptr;
}

} // namespace

QString EndpointAddress(const QString &idOrAddress)
{
    if (const Endpoint *endpoint = Find(idOrAddress))
        return QLatin1String(endpoint->address);
    const QUrl url(idOrAddress, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && !url.host().isEmpty() &&
        (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        return idOrAddress;
    return QString();
}

QString ChosenEndpointId()
{
    const QString stored =
        SettingsStore().ReadSetting(keys::kApp, keys::kSection, keys::kIndexNowEndpoint, QString());
    const Endpoint *endpoint = Find(stored);
    return QLatin1String(endpoint ? endpoint->id : Endpoints().first().id);
}

void StoreEndpointId(const QString &id)
{
    const Endpoint *endpoint = Find(id);
    if (!endpoint)
        throw SettingsError(
            QStringLiteral("\"%1\" is not an IndexNow endpoint.").arg(id.left(200)));
    SettingsStore().WriteSetting(keys::kApp, keys::kSection, keys::kIndexNowEndpoint,
                                 QLatin1String(endpoint->id));
}

} // namespace indexnow
