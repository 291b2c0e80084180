#include "http.h"

#include "failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibrary>

namespace indexnow {

Http &SharedHttp()
{
    static Http *http = nullptr;
    if (http)
        return *http;
    const QString file = QStringLiteral(PAGECRIER_NET_MODULE);
    // Installed: beside the program's library folder; in the build tree:
    // where the build put it.
    const QStringList candidates = {
        QDir(QCoreApplication::applicationDirPath())
            .filePath(QStringLiteral(PAGECRIER_NET_MODULE_FROM_BIN "/") + file),
        QStringLiteral(PAGECRIER_NET_MODULE_BUILD_DIR "/") + file};
    QStringList errors;
    for (const QString &candidate : candidates) {
        if (!QFile::exists(candidate))
            continue;
        // The module stays loaded for the rest of the run, and so does the
        // transport it makes.
        QLibrary module(candidate);
        using Create = Http *(*)();
        if (auto create = reinterpret_cast<Create>(module.resolve("pagecrier_create_http"))) {
            http = create();
            return *http;
        }
        errors << module.errorString();
    }
    throw Failure(errors.isEmpty()
                      ? QStringLiteral("The network module was not found (looked for %1).")
                            .arg(candidates.join(QStringLiteral(", ")))
                      : QStringLiteral("The network module could not be loaded: %1")
                            .arg(errors.join(QStringLiteral("; "))));
}

} // namespace indexnow
