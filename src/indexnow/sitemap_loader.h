#pragma once

#include "http.h"
#include "sitemap.h"

#include <QObject>
#include <QUrl>

// Reads a site map from the web or a local file, following an index's site
// maps one level deep (never the index itself, never one twice, only on the
// same host; redirects only within the host, at most 5), within the bounds
// of sitemap.h. Network answers arrive through Http; parsing runs on a
// worker thread, so the caller's event loop keeps going.
namespace indexnow {

class SitemapLoader : public QObject
{
    Q_OBJECT
public:
    struct Result
    {
        QList<sitemap::Entry> entries; // of every site map read, in order
        QUrl site;                     // scheme, host and port the batch is for
        QString error;                 // why there is nothing to send; empty when entries came
        QStringList problems;          // site maps of an index left out, and why
        bool cancelled = false;
    };

    explicit SitemapLoader(Http &http, QObject *parent = nullptr);
    ~SitemapLoader() override;

    // Each site map file is given up after this long (default 60 s).
    void setTimeout(int ms);

    // source: an http or https address, or a local file (a path or a file:
    // address). The batch is for the site map's host; for a local file, for
    // the host of localSite (the Page URL).
    void start(const QString &source, const QUrl &localSite);
    // Stops reading; finished then comes with cancelled set.
    void cancel();

signals:
    // "Reading <address> (3 of 20): 120,000 addresses so far"
    void progress(const QString &text);
    void finished(const indexnow::SitemapLoader::Result &result);
};

} // namespace indexnow
