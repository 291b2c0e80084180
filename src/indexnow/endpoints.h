#pragma once

#include <QList>
#include <QString>

// Where IndexNow submissions go. Each participating engine documents its own
// "<address>/indexnow"; the shared endpoint passes a submission on to all of
// them.
namespace indexnow {

struct Endpoint
{
    const char *id;      // stored in the settings ("indexnow", "bing", ...)
    const char *name;    // as the user sees it ("IndexNow (all engines)", "Bing", ...)
    const char *address; // scheme and host, without "/indexnow"
};

// The shared endpoint first (the default), then Bing, Yandex, Seznam, Naver
// and Yep.
const QList<Endpoint> &Endpoints();

// The address for an endpoint id (any letter case) or, for an absolute
// http or https address given instead, that address; empty when it is
// neither.
QString EndpointAddress(const QString &idOrAddress);

// The endpoint the user chose (stored in the settings, the default when
// none or an unknown one is stored). Throws SettingsError.
QString ChosenEndpointId();
void StoreEndpointId(const QString &id);

} // namespace indexnow
