#include "http.h"

#include "failure.h"
#include "module.h"

namespace indexnow {

Http &SharedHttp()
{
    static Http *http = nullptr;
    if (http)
        return *http;
    QString error;
    using Create = Http *(*)();
    const auto create = reinterpret_cast<Create>(
        ResolveModule(ModuleCandidates(QStringLiteral(PAGECRIER_NET_MODULE)),
                      "pagecrier_create_http", QStringLiteral("network"), &error));
    if (!create)
        throw Failure(error);
    http = create();
    return *http;
}

} // namespace indexnow
