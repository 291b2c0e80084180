// Measures reading site maps as the program reads them (SitemapLoader, then
// Select for the list): a 50,000-address site map from a local file, and an
// index of 20 such site maps from a local server running on a thread of its
// own. Prints the time and the peak memory each adds (the kernel's
// high-water mark, set back before each run).
#include "addresses.h"
#include "local_server.h"
#include "sitemap_loader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <ctime>

namespace {

constexpr int kMaps = 20;
const QUrl kSite(QStringLiteral("https://bench.example/"));

// A field of /proc/self/status ("VmRSS", "VmHWM"), in kB.
qint64 Status(const QByteArray &field)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Sets the high-water mark back to what is resident now, and returns that.
qint64 ResetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (!file.open(QIODevice::WriteOnly) || file.write("5") != 1)
        qFatal("cannot set back the peak memory mark: %s", qPrintable(file.errorString()));
    file.close();
    return Status("VmRSS");
}

// A site map of indexnow::sitemap::kMaxEntries addresses on site, about 5 MB.
QByteArray Sitemap(const QByteArray &site, int map)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    for (int i = 0; i < indexnow::sitemap::kMaxEntries; ++i)
        xml += "<url><loc>" + site + "blog/" + QByteArray::number(map) + "/page-" +
               QByteArray::number(i) +
               ".html</loc><lastmod>2024-05-01T10:20:30+02:00</lastmod>"
               "</url>\n";
    return xml + "</urlset>\n";
}

// Reads source and lists what it gives; true when it met the bounds: the
// time limit counts the listing too when listed is set. The processor time
// of all threads is shown beside, as the machine may be busy with more.
bool Measure(const char *what, const QString &source, bool listed, double limitMs, double limitMb)
{
    const qint64 before = ResetPeak();
    QElapsedTimer timer;
    timer.start();
    const std::clock_t cpu = std::clock();
    indexnow::SitemapLoader loader(indexnow::SharedHttp());
    indexnow::SitemapLoader::Result result;
    QEventLoop loop;
    QObject::connect(&loader, &indexnow::SitemapLoader::finished, &loop,
                     [&](const indexnow::SitemapLoader::Result &r) {
                         result = r;
                         loop.quit();
                     });
    loader.start(source, kSite);
    loop.exec();
    const double readMs = timer.nsecsElapsed() / 1e6;
    const indexnow::Selection selection =
        indexnow::Select(result.entries, result.site, {QStringLiteral("*/tag/*")},
                         QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC));
    const double ms = timer.nsecsElapsed() / 1e6;
    const double cpuMs = double(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC;
    const double mb = (Status("VmHWM") - before) / 1024.0;
    const bool ok = result.error.isEmpty() && result.problems.isEmpty() &&
                    selection.kept.size() == result.entries.size() &&
                    (listed ? ms : readMs) <= limitMs && mb <= limitMb;
    std::printf("%s: %lld addresses\n  read %.0f ms + listed %.0f ms = %.0f ms (processor time "
                "%.0f ms); limit %.0f ms for %s\n  peak memory +%.0f MB; limit %.0f MB\n  %s\n",
                what, qlonglong(selection.kept.size()), readMs, ms - readMs, ms, cpuMs, limitMs,
                listed ? "both" : "reading", mb, limitMb, ok ? "ok" : "OVER");
    if (!result.error.isEmpty() || !result.problems.isEmpty())
        std::printf("  %s %s\n", qPrintable(result.error), qPrintable(result.problems.join(' ')));
    return ok;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    indexnow::SharedHttp(); // the module loaded once, before anything is measured
    bool ok = true;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sitemap.xml"));
    {
        QFile file(path);
        const QByteArray map = Sitemap(kSite.toEncoded(), 0);
        if (!file.open(QIODevice::WriteOnly) || file.write(map) != map.size())
            qFatal("cannot write %s", qPrintable(path));
        std::printf("site map of %d addresses: %.1f MB\n", indexnow::sitemap::kMaxEntries,
                    map.size() / 1048576.0);
    }
    ok = Measure("A site map, local file", path, true, 1000, 100) && ok;

    // The server answers from a thread of its own, as a real one would not
    // share the reader's event loop; its pages are made before the mark is
    // set back.
    QThread thread;
    thread.start();
    QObject context;
    context.moveToThread(&thread);
    LocalServer *server = nullptr;
    QMetaObject::invokeMethod(
        &context, [&server] { server = new LocalServer; }, Qt::BlockingQueuedConnection);
    QMap<QString, QByteArray> pages;
    QByteArray index = "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">";
    for (int map = 1; map <= kMaps; ++map) {
        const QString name = QStringLiteral("/sitemap-%1.xml").arg(map);
        pages.insert(name, Sitemap(server->url(QStringLiteral("/")).toUtf8(), map));
        index += "<sitemap><loc>" + server->url(name).toUtf8() + "</loc></sitemap>";
    }
    pages.insert(QStringLiteral("/sitemap-index.xml"), index + "</sitemapindex>");
    QMetaObject::invokeMethod(
        &context,
        [server, &pages] {
            for (auto it = pages.cbegin(); it != pages.cend(); ++it)
                server->setPage(it.key(), it.value());
        },
        Qt::BlockingQueuedConnection);
    ok = Measure("An index of 20 site maps, local server",
                 server->url(QStringLiteral("/sitemap-index.xml")), false, 10000, 300) &&
         ok;
    QMetaObject::invokeMethod(
        &context, [server] { delete server; }, Qt::BlockingQueuedConnection);
    thread.quit();
    thread.wait();
    return ok ? 0 : 1;
}
