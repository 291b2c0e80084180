#include "sitemap_loader.h"

#include "addresses.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMutex>
#include <QPointer>
#include <QThreadPool>

#include <atomic>

namespace indexnow {

// What a parse on a worker thread shares with the loader that started it.
// The loader takes itself out under the lock when it goes, so a worker never
// posts to a deleted loader; cancelled drops a result nobody waits for.
struct SitemapLoader::Job
{
    QMutex mutex;
    SitemapLoader *loader = nullptr;
    std::atomic_bool cancelled{false};
};

namespace {

// The threads that parse. Not Qt's global pool: Qt's own raster painting
// splits large fills over that pool and waits for them, so a parse holding
// its threads would stall every paint of the window until it ends. Like
// that pool, it ends with the application, after the parses under way.
QThreadPool *ParsePool()
{
    static QPointer<QThreadPool> pool;
    if (!pool)
        pool = new QThreadPool(QCoreApplication::instance());
    return pool;
}

// Lines of problems kept; the rest are only counted.
constexpr int kShownProblems = 100;

QString Count(qsizetype n)
{
    return QLocale(QLocale::English).toString(n);
}

QString CannotRead(const QString &name, const QString &why)
{
    return QStringLiteral("Cannot read the site map %1: %2.").arg(name, why);
}

// The scheme, host and port of url: what a batch is for.
QUrl Origin(const QUrl &url)
{
    QUrl origin;
    origin.setScheme(url.scheme().toLower());
    origin.setHost(url.host());
    origin.setPort(url.port());
    return origin;
}

// One site map however its address is written: http or https, the scheme's
// own port or none, a fragment. (Only site maps of one site are compared.)
QString Key(const QUrl &url)
{
    return url.toString(QUrl::RemoveScheme | QUrl::RemovePort | QUrl::RemoveFragment |
                        QUrl::FullyEncoded);
}

bool IsWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

// Why an answer holds no site map; empty when it does.
QString FetchError(const QUrl &url, const HttpReply &reply)
{
    const QString name = url.toString();
    if (reply.certificateError)
        return CannotRead(name, QStringLiteral("the certificate of %1 cannot be verified (%2)")
                                    .arg(url.host(), reply.error));
    if (reply.timedOut)
        return CannotRead(name, reply.error);
    if (!reply.redirectRefused.isEmpty()) {
        const QUrl &to = reply.redirectRefused;
        if (to.host().compare(reply.url.host(), Qt::CaseInsensitive) != 0)
            return CannotRead(name, QStringLiteral("it redirects to %1, on another host; only "
                                                   "redirects within %2 are followed")
                                        .arg(to.toString(), url.host()));
        if (reply.url.scheme() == u"https" && to.scheme() != u"https")
            return CannotRead(
                name, QStringLiteral("it redirects to %1, away from https").arg(to.toString()));
        return CannotRead(name,
                          QStringLiteral("it redirects once too often (to %1)").arg(to.toString()));
    }
    if (reply.tooLarge)
        return CannotRead(name, QStringLiteral("it is larger than %1 MB, the most a site map "
                                               "may be")
                                    .arg(sitemap::kMaxFileBytes / (1024 * 1024)));
    if (reply.status == 0)
        return CannotRead(name, QStringLiteral("no answer came (%1)").arg(reply.error));
    if (reply.status != 200)
        return CannotRead(name, QStringLiteral("the server answered %1 %2 instead of sending the "
                                               "site map")
                                    .arg(reply.status)
                                    .arg(reply.reason)
                                    .trimmed());
    return {};
}

// Reads a local file, never more than the bound of one site map.
QString ReadFile(const QString &path, QByteArray *data)
{
    const QFileInfo info(path);
    if (!info.exists())
        return CannotRead(path, QStringLiteral("there is no such file"));
    if (!info.isFile())
        return CannotRead(path, QStringLiteral("it is not a file"));
    const QString tooLarge = QStringLiteral("it is larger than %1 MB, the most a site map may be")
                                 .arg(sitemap::kMaxFileBytes / (1024 * 1024));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return CannotRead(path, file.errorString());
    if (file.size() > sitemap::kMaxFileBytes)
        return CannotRead(path, tooLarge);
    *data = file.read(sitemap::kMaxFileBytes + 1); // a file that grew shows as too large
    if (file.error() != QFileDevice::NoError)
        return CannotRead(path, file.errorString());
    if (data->size() > sitemap::kMaxFileBytes) {
        data->clear();
        return CannotRead(path, tooLarge);
    }
    return {};
}

} // namespace

SitemapLoader::SitemapLoader(Http &http, QObject *parent) : QObject(parent), http_(http)
{}

SitemapLoader::~SitemapLoader()
{
    if (request_)
        http_.cancel(request_);
    if (job_) {
        const QMutexLocker lock(&job_->mutex);
        job_->loader = nullptr;
        job_->cancelled = true;
    }
}

void SitemapLoader::setTimeout(int ms)
{
    timeoutMs_ = qMax(1, ms);
}

void SitemapLoader::start(const QString &source, const QUrl &localSite)
{
    // A run on its way is dropped.
    if (request_)
        http_.cancel(request_);
    request_ = 0;
    if (job_)
        job_->cancelled = true;
    ++run_;
    result_ = {};
    inIndex_ = false;
    queue_.clear();
    queued_ = started_ = applied_ = parsing_ = 0;
    ready_.clear();
    seen_.clear();
    self_.clear();
    index_.clear();
    moreProblems_ = 0;
    running_ = true;
    job_ = std::make_shared<Job>();
    job_->loader = this;

    const QString text = source.trimmed();
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http" || scheme == u"https") {
        if (!IsWebAddress(url))
            return finish(CannotRead(text, QStringLiteral("it is not a whole web address")));
        result_.site = Origin(url);
        return read(url);
    }
    // Anything else is a local file: a path (a one-letter scheme is a drive
    // letter) or a file: address.
    if (scheme.size() > 1 && scheme != u"file")
        return finish(CannotRead(text, QStringLiteral("it is neither an http or https address "
                                                      "nor a local file")));
    if (IsWebAddress(localSite))
        result_.site = Origin(localSite);
    reading_ = scheme == u"file" ? url.toLocalFile() : text;
    const quint64 run = run_;
    reportProgress();
    if (running_ && run == run_) // not cancelled or started again by a receiver
        parse(-1, reading_, {}, reading_);
}

void SitemapLoader::cancel()
{
    if (!running_)
        return;
    if (request_)
        http_.cancel(request_);
    request_ = 0;
    result_.entries.clear();
    result_.cancelled = true;
    finish();
}

void SitemapLoader::read(const QUrl &url)
{
    const QString name = reading_ = url.toString();
    const int file = inIndex_ ? started_++ : -1;
    const quint64 run = run_;
    reportProgress();
    if (!running_ || run != run_) // cancelled or started again by a receiver
        return;
    HttpRequest request;
    request.url = url;
    request.timeoutMs = timeoutMs_;
    request.maxBytes = sitemap::kMaxFileBytes + 1;
    request.maxRedirects = 5;
    // done never comes after cancel(), which the destructor calls.
    request_ = http_.send(request, [this, url, name, file](const HttpReply &reply) {
        request_ = 0;
        const QString error = FetchError(url, reply);
        if (!error.isEmpty() && file < 0)
            return finish(error);
        if (!error.isEmpty()) {
            sitemap::File refused;
            refused.error = error;
            return parsed(file, name, refused);
        }
        if (file < 0)
            self_ << Key(url) << Key(reply.url);
        parse(file, name, reply.body, {});
        if (file >= 0)
            pump(); // the next site map comes while this one is parsed
    });
}

void SitemapLoader::parse(int file, const QString &name, const QByteArray &bytes,
                          const QString &path)
{
    const std::shared_ptr<Job> job = job_;
    if (file >= 0)
        ++parsing_;
    ParsePool()->start([job, file, name, bytes, path] {
        if (job->cancelled)
            return;
        QByteArray data = bytes;
        sitemap::File parsed;
        if (!path.isEmpty())
            parsed.error = ReadFile(path, &data);
        if (parsed.error.isEmpty())
            parsed = sitemap::Parse(data, name);
        data.clear();
        const QMutexLocker lock(&job->mutex);
        if (job->cancelled || !job->loader)
            return;
        // Runs on the loader's thread, and not at all once the loader is gone.
        QMetaObject::invokeMethod(
            job->loader,
            [loader = job->loader, job, file, name, parsed] {
                if (loader->job_ == job && !job->cancelled) {
                    loader->parsing_ -= file >= 0;
                    loader->parsed(file, name, parsed);
                }
            },
            Qt::QueuedConnection);
    });
}

void SitemapLoader::parsed(int file, const QString &name, const sitemap::File &parsed)
{
    if (file < 0) { // the file asked for
        if (!parsed.error.isEmpty())
            return finish(parsed.error);
        if (parsed.kind == sitemap::File::Index)
            return takeIndex(parsed);
        result_.entries = parsed.entries;
        return finish();
    }
    // An index's site maps may be parsed two at a time: they are taken in
    // the index's order.
    ready_.insert(file, {name, parsed});
    for (auto it = ready_.find(applied_); it != ready_.end(); it = ready_.find(applied_)) {
        const auto [map, got] = *it;
        ready_.erase(it);
        ++applied_;
        if (!got.error.isEmpty()) {
            problem(got.error);
        } else if (got.kind == sitemap::File::Index) {
            problem(QStringLiteral("Left out %1: it is an index itself, and indexes are "
                                   "followed only one level deep.")
                        .arg(map));
        } else {
            const qsizetype room = sitemap::kMaxTotal - result_.entries.size();
            result_.entries.append(got.entries.mid(0, room));
            if (got.entries.size() > room) {
                problem(QStringLiteral("Stopped at %1 addresses, the most read in one go: the "
                                       "rest of %2 and %3 more site maps were not read.")
                            .arg(Count(sitemap::kMaxTotal), map, Count(queued_ - applied_)));
                if (request_)
                    http_.cancel(request_);
                request_ = 0;
                return finish();
            }
        }
    }
    pump();
}

void SitemapLoader::takeIndex(const sitemap::File &file)
{
    inIndex_ = true;
    index_ = reading_;
    for (const sitemap::Entry &entry : file.entries) {
        const QUrl url(entry.loc, QUrl::StrictMode);
        if (!IsWebAddress(url)) {
            problem(QStringLiteral("Left out %1: it is not a whole http or https address.")
                        .arg(entry.loc.left(200)));
            continue;
        }
        if (result_.site.host().isEmpty()) // a local index read without a page address
            result_.site = Origin(url);
        const QString key = Key(url);
        if (!SameSite(url, result_.site))
            problem(QStringLiteral("Left out %1: it is on another host than %2.")
                        .arg(entry.loc, result_.site.authority()));
        else if (self_.contains(key))
            problem(QStringLiteral("Left out %1: it is the index itself.").arg(entry.loc));
        else if (seen_.contains(key))
            problem(QStringLiteral("Left out %1: the index lists it before.").arg(entry.loc));
        else
            queue_ << url;
        seen_ << key;
    }
    queued_ = int(queue_.size());
    // Room for all they may hold, so that the list never has to move while
    // the window waits; memory is only taken as addresses come.
    result_.entries.reserve(
        qMin(qsizetype(queued_) * sitemap::kMaxEntries, qsizetype(sitemap::kMaxTotal)));
    pump();
}

void SitemapLoader::pump()
{
    // One request at a time, and at most two files held besides it.
    if (!request_ && !queue_.isEmpty() && parsing_ + ready_.size() < 2)
        return read(queue_.takeFirst());
    if (request_ || !queue_.isEmpty() || parsing_ || !ready_.isEmpty())
        return;
    if (result_.entries.isEmpty())
        return finish(
            QStringLiteral("None of the site maps of the index %1 could be read.").arg(index_));
    finish();
}

void SitemapLoader::problem(const QString &text)
{
    if (result_.problems.size() < kShownProblems)
        result_.problems << text;
    else
        ++moreProblems_;
}

void SitemapLoader::reportProgress()
{
    if (!inIndex_)
        emit progress(QStringLiteral("Reading %1").arg(reading_));
    else
        // In one pass: an address may hold "%3" of its own.
        emit progress(QStringLiteral("Reading %1 (%2 of %3): %4 addresses so far")
                          .arg(reading_, QString::number(started_), QString::number(queued_),
                               Count(result_.entries.size())));
}

void SitemapLoader::finish(const QString &error)
{
    running_ = false;
    if (job_)
        job_->cancelled = true; // a parse still running is of no use now
    Result result = std::move(result_);
    result_ = {};
    result.error = error;
    if (!error.isEmpty())
        result.entries.clear();
    if (moreProblems_)
        result.problems
            << QStringLiteral("%1 more site maps were left out.").arg(Count(moreProblems_));
    // Never from within start() or cancel(): the caller is not in the middle
    // of anything when it comes.
    QMetaObject::invokeMethod(
        this,
        [this, result, run = run_] {
            if (run == run_)
                emit finished(result);
        },
        Qt::QueuedConnection);
}

} // namespace indexnow

// Built with this file, so that a program using the loader does not pull in
// the meta-object code of the library's other classes.
#include "moc_sitemap_loader.cpp"
