#pragma once

#include "http.h"
#include "sitemap.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QUrl>

#include <memory>
#include <utility>

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
        bool cancelled = false;        // entries is then empty
    };

    explicit SitemapLoader(Http &http, QObject *parent = nullptr);
    ~SitemapLoader() override;

    // Each site map file is given up after this long (default 60 s).
    void setTimeout(int ms);

    // source: an http or https address, or a local file (a path or a file:
    // address). The batch is for the site map's host; for a local file, for
    // the host of localSite (the Page URL). With no localSite, a local
    // index's site maps are taken from the host of the first one, and site
    // is empty for a local site map. A run still on its way is dropped
    // without finished.
    void start(const QString &source, const QUrl &localSite);
    // Stops reading; finished then comes with cancelled set.
    void cancel();

signals:
    // "Reading <address> (3 of 20): 120,000 addresses so far"
    void progress(const QString &text);
    void finished(const indexnow::SitemapLoader::Result &result);

private:
    struct Job;
    // file: the number of an index's site map, -1 for the file asked for.
    void read(const QUrl &url);
    void parse(int file, const QString &name, const QByteArray &bytes, const QString &path);
    void parsed(int file, const QString &name, const sitemap::File &parsed);
    void takeIndex(const sitemap::File &file);
    void pump();
    void problem(const QString &text);
    void finish(const QString &error = {});
    void reportProgress();

    Http &http_;
    int timeoutMs_ = 60000;
    quint64 request_ = 0; // the request on its way, or 0
    std::shared_ptr<Job> job_;
    Result result_;
    bool running_ = false;
    bool inIndex_ = false; // reading an index's site maps
    QString reading_;      // the address or path being read
    QList<QUrl> queue_;    // an index's site maps still to read
    int queued_ = 0;       // how many site maps the index gave
    int started_ = 0;      // of those, how many were asked for
    int applied_ = 0;      // and taken into result_, in the index's order
    int parsing_ = 0;      // on a worker thread now
    QMap<int, std::pair<QString, sitemap::File>> ready_; // parsed, waiting for their turn
    QSet<QString> seen_;                                 // site maps read or queued
    QSet<QString> self_;   // the index's own address, as asked for and as reached
    QString index_;        // the index's address or path
    int moreProblems_ = 0; // left out of problems, which holds kShownProblems at most
    quint64 run_ = 0;      // counts the runs, so a finished of an old one is dropped
};

} // namespace indexnow
