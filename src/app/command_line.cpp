#include "command_line.h"

#include "addresses.h"
#include "batch_sender.h"
#include "endpoints.h"
#include "failure.h"
#include "http.h"
#include "identity.h"
#include "indexnow.h"
#include "key_check.h"
#include "record.h"
#include "settings_store.h"
#include "sitemap_loader.h"
#include "stored_key.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace commandline {
namespace {

using indexnow::BatchSender;
using indexnow::KeyFileCheck;
using indexnow::SitemapLoader;

const QString kIndexNow = QStringLiteral("indexnow");
const QString kSitemap = QStringLiteral("sitemap");
const QString kCheckKeyFile = QStringLiteral("check-key-file");
const QString kKey = QStringLiteral("key");
const QString kDryRun = QStringLiteral("dry-run");
const QString kEndpoint = QStringLiteral("endpoint");
const QString kChangedOnly = QStringLiteral("changed-only");
const QString kExclude = QStringLiteral("exclude");

// "indexnow, bing, ..."
QString EndpointIds()
{
    QString ids;
    for (const indexnow::Endpoint &endpoint : indexnow::Endpoints())
        ids += (ids.isEmpty() ? QString() : QStringLiteral(", ")) + QLatin1String(endpoint.id);
    return ids;
}

QList<QCommandLineOption> OwnOptions()
{
    return {
        {kIndexNow,
         QStringLiteral("Submits this address and those that follow it: one address as a "
                        "single request, several as one batch per host."),
         QStringLiteral("ADDRESS")},
        {kSitemap,
         QStringLiteral("Submits the addresses of a site map (an http or https address, or a "
                        "local file) on its host, after checking the key file, in batches of "
                        "at most 10,000."),
         QStringLiteral("ADDRESS|FILE")},
        {kChangedOnly, QStringLiteral("With --sitemap: only the pages changed since the last "
                                      "submission to the host that was received.")},
        {kExclude,
         QStringLiteral("With --sitemap: leaves out the addresses that match PATTERN (\"*\" "
                        "stands for any run of characters). May be given more than once."),
         QStringLiteral("PATTERN")},
        {kEndpoint,
         QStringLiteral("Sends to this endpoint (%1, or an http or https address) instead of "
                        "the one chosen in the window.")
             .arg(EndpointIds()),
         QStringLiteral("NAME")},
        {kDryRun, QStringLiteral("With --indexnow or --sitemap: lists what would be sent, one "
                                 "address a line, and sends nothing.")},
        {kCheckKeyFile,
         QStringLiteral("Checks that the address's host serves the key file as the engines "
                        "will fetch it."),
         QStringLiteral("ADDRESS")},
        {kKey, QStringLiteral("Prints the key, the key file's name and content and, for an "
                              "address given after it, where the file must be served.")},
    };
}

const char kDescription[] =
    "Tells search engines through IndexNow that pages of a site are new or changed. Without "
    "these options Pagecrier starts its window. The key is the one the window uses (made on "
    "first use), and every request is added to the same record.\n"
    "\n"
    "Output: one line per request on standard output, its status (000 when no answer came), "
    "what it means and what was sent, for example\n"
    "  202 received, key check pending: 37 addresses for example.com\n"
    "Problems go to standard error.\n"
    "\n"
    "Exit status:\n"
    "  0  every request was received (200 or 202)\n"
    "  1  the endpoint refused (400, 403, 422 or another answer)\n"
    "  2  bad usage or input; nothing was sent\n"
    "  3  no answer, a network or server (5xx) error, or a certificate that cannot be "
    "verified\n"
    "  4  rate-limited (429)\n"
    "  5  the key-file check failed";

// Qt's own options, which the window's application object takes with one
// dash or two. Those of the first list take a value: the next argument,
// unless it follows "=".
constexpr const char *kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",      "qwindowgeometry",
    "geometry", "qwindowtitle",       "title",         "qwindowicon", "icon",
    "style",    "stylesheet",         "session",       "display",     "name",
    "visual"};
constexpr const char *kQtFlags[] = {"reverse", "widgetcount", "testability",  "nograb",
                                    "dograb",  "sync",        "qmljsdebugger"};

template <size_t N> bool Listed(const QByteArray &name, const char *const (&names)[N])
{
    for (const char *listed : names)
        if (name == listed)
            return true;
    return false;
}

void Write(FILE *stream, const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// A line of the output.
void Out(const QString &line)
{
    Write(stdout, line);
}

// Many lines of the output (50,000 addresses, say), written a chunk at a
// time without one large copy of them all.
void OutLines(const QStringList &lines)
{
    constexpr qsizetype kChunk = 1 << 16;
    QByteArray chunk;
    chunk.reserve(kChunk + 4096);
    const auto flush = [&chunk] {
        std::fwrite(chunk.constData(), 1, size_t(chunk.size()), stdout);
        chunk.resize(0); // keeps its room
    };
    for (const QString &line : lines) {
        chunk += line.toUtf8();
        chunk += '\n';
        if (chunk.size() >= kChunk)
            flush();
    }
    flush();
    std::fflush(stdout);
}

// A problem, on standard error.
void Problem(const QString &text)
{
    Write(stderr, QStringLiteral("pagecrier: ") + text);
}

QString Addresses(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 address") : QStringLiteral("%1 addresses").arg(count);
}

// The scheme, host and port of an address, as the batch for it is made.
QUrl SiteOf(const QString &address)
{
    const QUrl url(address, QUrl::TolerantMode);
    QUrl site;
    site.setScheme(url.scheme());
    site.setHost(url.host());
    site.setPort(url.port());
    return site;
}

bool Received(const HttpReply &reply)
{
    return reply.status == 200 || reply.status == 202;
}

int StatusFor(const HttpReply &reply)
{
    if (Received(reply))
        return kReceived;
    if (reply.status == 429)
        return kRateLimited;
    if (reply.status == 0 || reply.status >= 500)
        return kNoAnswer;
    return kRefused;
}

// "202 received, key check pending: <what>"; "000" when no answer came.
QString AnswerLine(const HttpReply &reply, const QString &what)
{
    const QString status =
        reply.status == 0 ? QStringLiteral("000") : QString::number(reply.status);
    return status + QLatin1Char(' ') + indexnow::Meaning(reply) + QStringLiteral(": ") + what;
}

QString CheckLine(const KeyFileCheck &check, const QString &keyFileAddress)
{
    QString words;
    switch (check.outcome) {
    case KeyFileCheck::Passed:
        words = QStringLiteral("key file passed");
        break;
    case KeyFileCheck::NotFound:
        words = QStringLiteral("key file not found");
        break;
    case KeyFileCheck::HtmlPage:
        words = QStringLiteral("key file is an HTML page");
        break;
    case KeyFileCheck::OtherBody:
        words = QStringLiteral("key file holds something else");
        break;
    case KeyFileCheck::OtherStatus:
        words = QStringLiteral("key file not served");
        break;
    case KeyFileCheck::RedirectElsewhere:
        words = QStringLiteral("key file redirected to another host");
        break;
    case KeyFileCheck::Certificate:
        words = QStringLiteral("key file: certificate not verified");
        break;
    case KeyFileCheck::NoAnswer:
        words = QStringLiteral("key file: no answer");
        break;
    }
    return words + QStringLiteral(": ") + keyFileAddress;
}

QString NotAnAddress(const QString &text)
{
    return QStringLiteral("\"%1\" is not an absolute http or https address (for example "
                          "https://example.com/page.html).")
        .arg(text.left(200));
}

// The shared transport, loaded on the first request only, so that a run
// that sends nothing (--key, --dry-run of a local site map) never loads Qt
// Network. When the module cannot be loaded, each request ends without an
// answer, saying why.
class LazyHttp : public indexnow::Http
{
public:
    quint64 send(const indexnow::HttpRequest &request, Done done) override
    {
        if (failure_.isEmpty()) {
            try {
                indexnow::Http &shared = indexnow::SharedHttp();
                return shared.send(request, std::move(done));
            } catch (const Failure &failure) {
                failure_ = failure.message();
            }
        }
        const quint64 id = ++lastFailedId_ | kFailedIds;
        failed_.insert(id);
        QTimer::singleShot(0, &context_, [this, id, done = std::move(done)] {
            if (!failed_.remove(id))
                return;
            HttpReply reply;
            reply.error = failure_;
            done(reply);
        });
        return id;
    }

    void cancel(quint64 id) override
    {
        if (!failed_.remove(id) && failure_.isEmpty())
            indexnow::SharedHttp().cancel(id);
    }

private:
    static constexpr quint64 kFailedIds = quint64(1) << 63;
    QObject context_;
    QString failure_;
    QSet<quint64> failed_;
    quint64 lastFailedId_ = 0;
};

// One run of the command line: parses the options, then does what they ask
// and ends the event loop with the exit status.
class Runner : public QObject
{
public:
    void start()
    {
        const int status = parse();
        if (status >= 0)
            finish(status);
    }

private:
    // The exit status when the run ends here, or -1 when it goes on.
    int parse()
    {
        QCommandLineParser parser;
        parser.setApplicationDescription(QString::fromLatin1(kDescription));
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        const QCommandLineOption help = parser.addHelpOption();
        const QCommandLineOption version = parser.addVersionOption();
        parser.addOptions(OwnOptions());
        parser.addPositionalArgument(
            QStringLiteral("ADDRESS"),
            QStringLiteral("More addresses for --indexnow; the address for --key."),
            QStringLiteral("[ADDRESS...]"));
        if (!parser.parse(QCoreApplication::arguments()))
            return usage(parser.errorText());
        if (parser.isSet(help) || parser.optionNames().contains(QStringLiteral("help-all"))) {
            std::fputs(parser.helpText().toLocal8Bit().constData(), stdout);
            return kReceived;
        }
        if (parser.isSet(version)) {
            Out(QStringLiteral("%1 %2").arg(QLatin1String(identity::kTitle),
                                            QLatin1String(identity::kVersion)));
            return kReceived;
        }

        const bool submit = parser.isSet(kIndexNow);
        const bool sitemap = parser.isSet(kSitemap);
        const bool check = parser.isSet(kCheckKeyFile);
        const bool showKey = parser.isSet(kKey);
        const QStringList extra = parser.positionalArguments();
        dryRun_ = parser.isSet(kDryRun);
        changedOnly_ = parser.isSet(kChangedOnly);
        patterns_ = indexnow::PatternLines(parser.values(kExclude).join(QLatin1Char('\n')));

        if (submit + sitemap + check + showKey == 0)
            return usage(QStringLiteral("Say what to do: --indexnow, --sitemap, "
                                        "--check-key-file or --key."));
        if (submit + sitemap + check + showKey > 1)
            return usage(QStringLiteral("--indexnow, --sitemap, --check-key-file and --key "
                                        "cannot be combined: give one of them."));
        for (const QString &once : {kSitemap, kCheckKeyFile, kEndpoint})
            if (parser.values(once).size() > 1)
                return usage(QStringLiteral("--%1 is given more than once.").arg(once));
        if ((changedOnly_ || parser.isSet(kExclude)) && !sitemap)
            return usage(QStringLiteral("--changed-only and --exclude go with --sitemap."));
        if ((dryRun_ || parser.isSet(kEndpoint)) && !submit && !sitemap)
            return usage(QStringLiteral("--dry-run and --endpoint go with --indexnow or "
                                        "--sitemap."));
        if (!submit && extra.size() > (showKey ? 1 : 0))
            return usage(QStringLiteral("Unexpected argument \"%1\".")
                             .arg(extra.value(showKey ? 1 : 0).left(200)));

        if (parser.isSet(kEndpoint)) {
            const QString name = parser.value(kEndpoint);
            endpoint_ = EndpointFor(name);
            if (endpoint_.isEmpty())
                return usage(QStringLiteral("Unknown endpoint \"%1\": give one of %2, or an "
                                            "http or https address.")
                                 .arg(name.left(200), EndpointIds()));
        }

        if (showKey)
            return printKey(extra.value(0));
        if (check)
            return checkKeyFile(parser.value(kCheckKeyFile));
        if (submit)
            return submitAddresses(parser.values(kIndexNow) + extra);
        return readSitemap(parser.value(kSitemap));
    }

    int usage(const QString &text)
    {
        Problem(text);
        Problem(QStringLiteral("Try \"pagecrier --help\"."));
        return kBadInput;
    }

    static int badInput(const QString &text)
    {
        Problem(text);
        return kBadInput;
    }

    void finish(int status) { QCoreApplication::exit(status); }

    // An endpoint's id or name in any letter case, or an http or https
    // address; empty when it is none.
    static QString EndpointFor(const QString &name)
    {
        for (const indexnow::Endpoint &endpoint : indexnow::Endpoints())
            if (name.compare(QLatin1String(endpoint.name), Qt::CaseInsensitive) == 0)
                return QLatin1String(endpoint.address);
        return indexnow::EndpointAddress(name);
    }

    // Reads the stored key (making one on first use) and the chosen
    // endpoint; false, with the reason told, when there is no usable key.
    bool readSettings()
    {
        try {
            SettingsStore store;
            key_ = IndexNowKey(store);
            if (endpoint_.isEmpty())
                endpoint_ = indexnow::EndpointAddress(indexnow::ChosenEndpointId());
        } catch (const Failure &failure) {
            Problem(failure.message());
            return false;
        }
        if (!indexnow::IsValidKey(key_)) {
            Problem(indexnow::BadKeyText());
            return false;
        }
        return true;
    }

    int printKey(const QString &address)
    {
        if (!address.isEmpty() && !indexnow::RefusalFor(address).isEmpty())
            return badInput(NotAnAddress(address));
        try {
            SettingsStore store;
            key_ = IndexNowKey(store);
        } catch (const Failure &failure) {
            Problem(failure.message());
            return kBadInput;
        }
        Out(QStringLiteral("Key: ") + key_);
        Out(QStringLiteral("File name: ") + indexnow::KeyFileName(key_));
        Out(QStringLiteral("File content: ") + key_);
        if (!address.isEmpty())
            Out(QStringLiteral("Address: ") + indexnow::KeyFileAddress(address, key_));
        if (!indexnow::IsValidKey(key_))
            Problem(QStringLiteral("This key breaks the key rules (8 to 128 letters, digits and "
                                   "hyphens) and is not sent. Make a new key in the window: "
                                   "Tools, IndexNow Key..."));
        return kReceived;
    }

    int checkKeyFile(const QString &address)
    {
        if (!indexnow::RefusalFor(address).isEmpty())
            return badInput(NotAnAddress(address));
        if (!readSettings())
            return kBadInput;
        const QString keyFile = indexnow::KeyFileAddress(address, key_);
        indexnow::CheckKeyFile(http_, keyFile, key_, [this, keyFile](const KeyFileCheck &check) {
            finish(toldCheck(check, keyFile) ? kReceived : kKeyFileFailed);
        });
        return -1;
    }

    // Tells the outcome of a key-file check; whether it passed.
    static bool toldCheck(const KeyFileCheck &check, const QString &keyFile)
    {
        Out(CheckLine(check, keyFile));
        if (!check.warning.isEmpty())
            Problem(check.warning);
        if (!check.passed())
            Problem(check.text);
        return check.passed();
    }

    int submitAddresses(const QStringList &addresses)
    {
        // Grouped by site (host and port), in the order given; each group goes
        // through the site-map rules (duplicates, user information, ...).
        QList<QUrl> sites;
        QList<QList<indexnow::sitemap::Entry>> entries;
        for (const QString &address : addresses) {
            if (!indexnow::RefusalFor(address).isEmpty())
                return badInput(NotAnAddress(address));
            const QUrl site = SiteOf(address);
            int group = 0;
            while (group < sites.size() && !indexnow::SameSite(site, sites.at(group)))
                ++group;
            if (group == sites.size()) {
                sites << site;
                entries.append(QList<indexnow::sitemap::Entry>());
            }
            entries[group].append(indexnow::sitemap::Entry{address, {}});
        }
        int total = 0;
        for (int group = 0; group < sites.size(); ++group) {
            const indexnow::Selection selection =
                indexnow::Select(entries.at(group), sites.at(group), {});
            for (auto it = selection.dropped.cbegin(); it != selection.dropped.cend(); ++it) {
                if (it.key() == indexnow::DropReason::Duplicate) {
                    Problem(QStringLiteral("%1 given twice, sent once.").arg(Addresses(it->count)));
                    continue;
                }
                return badInput(
                    QStringLiteral("\"%1\" cannot be sent: %2.")
                        .arg(it->first.value(0).left(200), indexnow::DropReasonText(it.key())));
            }
            jobs_.append({QString(), sites.at(group).host(), QString(), QString(), selection.kept});
            keyFiles_ << sites.at(group).toString();
            total += selection.kept.size();
        }

        if (dryRun_) {
            if (endpoint_.isEmpty() && !readEndpoint())
                return kBadInput;
            for (const BatchSender::Job &job : std::as_const(jobs_)) {
                OutLines(job.addresses);
                Out(dryRunSummary(job, total == 1));
            }
            return kReceived;
        }
        if (!readSettings())
            return kBadInput;
        if (total == 1) {
            const QString page = jobs_.first().addresses.first();
            indexnow::SubmitAddress(
                http_, endpoint_, page, key_, [this, page](const HttpReply &reply) {
                    Out(AnswerLine(reply, page));
                    if (!Received(reply))
                        Problem(
                            indexnow::Advice(reply, indexnow::KeyFileAddress(page, key_), key_));
                    finish(StatusFor(reply));
                });
            return -1;
        }
        for (int i = 0; i < jobs_.size(); ++i)
            completeJob(&jobs_[i], keyFiles_.at(i));
        sendNext();
        return -1;
    }

    bool readEndpoint()
    {
        try {
            endpoint_ = indexnow::EndpointAddress(indexnow::ChosenEndpointId());
        } catch (const Failure &failure) {
            Problem(failure.message());
            return false;
        }
        return true;
    }

    QString dryRunSummary(const BatchSender::Job &job, bool single) const
    {
        const int batches = int(indexnow::Batches(job.addresses).size());
        return QStringLiteral("dry run: %1 for %2 %3 to %4/indexnow, nothing sent")
            .arg(Addresses(job.addresses.size()), job.host,
                 single ? QStringLiteral("as a single request")
                        : QStringLiteral("in %1 batch%2")
                              .arg(batches)
                              .arg(batches == 1 ? QString() : QStringLiteral("es")),
                 endpoint_);
    }

    // Fills in what a job takes from the settings: the endpoint, the key and
    // the key file's address (site: the scheme, host and port).
    void completeJob(BatchSender::Job *job, const QString &site) const
    {
        job->endpoint = endpoint_;
        job->key = key_;
        job->keyLocation = indexnow::KeyFileAddress(site, key_);
    }

    int readSitemap(const QString &source)
    {
        const QUrl url(source, QUrl::TolerantMode);
        const QString scheme = url.scheme().toLower();
        const bool remote = scheme == QLatin1String("http") || scheme == QLatin1String("https");
        if (remote && !indexnow::RefusalFor(source).isEmpty())
            return badInput(NotAnAddress(source));
        if (!remote) {
            // A path, or a file: address; a drive letter is no scheme.
            const bool fileUrl = scheme == QLatin1String("file");
            if (scheme.size() > 1 && !fileUrl)
                return usage(QStringLiteral("\"%1\" is neither an http or https address nor a "
                                            "local file.")
                                 .arg(source.left(200)));
            const QFileInfo file(fileUrl ? url.toLocalFile() : source);
            if (!file.isFile() || !file.isReadable())
                return badInput(QStringLiteral("Cannot read the site map %1: %2.")
                                    .arg(file.filePath().left(200),
                                         !file.exists()   ? QStringLiteral("there is no such file")
                                         : !file.isFile() ? QStringLiteral("it is not a file")
                                                          : QStringLiteral("it may not be read")));
        }
        if (!dryRun_ && !readSettings())
            return kBadInput;
        if (endpoint_.isEmpty() && !readEndpoint())
            return kBadInput;
        loader_ = new SitemapLoader(http_, this);
        connect(loader_, &SitemapLoader::finished, this, &Runner::sitemapRead);
        // A local file is for the host of its own addresses (see sitemapRead).
        loader_->start(source, QUrl());
        return -1;
    }

    void sitemapRead(const SitemapLoader::Result &result)
    {
        for (const QString &problem : result.problems)
            Problem(problem);
        if (!result.error.isEmpty()) {
            Problem(result.error);
            return finish(kBadInput);
        }
        QUrl site = result.site;
        if (site.host().isEmpty()) {
            // A local file: the host of its first address that can be sent.
            for (const indexnow::sitemap::Entry &entry : result.entries)
                if (indexnow::RefusalFor(entry.loc).isEmpty()) {
                    site = SiteOf(entry.loc);
                    break;
                }
        }
        const QString host = site.host();
        QDateTime since;
        if (changedOnly_)
            since = indexnow::Record().LastReceived(host);
        const indexnow::Selection selection =
            indexnow::Select(result.entries, site, patterns_, since);

        int dropped = 0;
        for (auto it = selection.dropped.cbegin(); it != selection.dropped.cend(); ++it) {
            dropped += it->count;
            Problem(QStringLiteral("%1 left out, %2: %3%4")
                        .arg(Addresses(it->count), indexnow::DropReasonText(it.key()),
                             it->first.join(QStringLiteral(", ")),
                             it->count > it->first.size() ? QStringLiteral(", ...") : QString()));
        }
        if (selection.excluded > 0)
            Problem(QStringLiteral("%1 excluded by --exclude.").arg(Addresses(selection.excluded)));
        if (selection.unchanged > 0)
            Problem(QStringLiteral("%1 unchanged since the last submission received for %2 (%3).")
                        .arg(Addresses(selection.unchanged), host, since.toString(Qt::ISODate)));
        if (selection.kept.isEmpty()) {
            Problem(QStringLiteral("Nothing to send for %1.").arg(host));
            // Left out by the rules alone, the site map had nothing to send.
            return finish(dropped == result.entries.size() ? kBadInput : kReceived);
        }

        BatchSender::Job job{QString(), host, QString(), QString(), selection.kept};
        if (dryRun_) {
            OutLines(selection.kept);
            Out(dryRunSummary(job, false));
            return finish(kReceived);
        }
        completeJob(&job, site.toString());
        jobs_ << job;
        indexnow::CheckKeyFile(http_, job.keyLocation, key_, [this](const KeyFileCheck &check) {
            // There is no one to ask whether to send anyway.
            if (!toldCheck(check, jobs_.first().keyLocation))
                return finish(kKeyFileFailed);
            sendNext();
        });
    }

    // Sends the next host's job; after a refusal the other hosts still go,
    // after a rate limit or no answer they are not tried.
    void sendNext()
    {
        if (jobs_.isEmpty())
            return finish(status_);
        const BatchSender::Job job = jobs_.takeFirst();
        auto *sender = new BatchSender(http_, this);
        // Batch n (from 1) holds the n-th run of at most kMaxBatch addresses.
        connect(sender, &BatchSender::answered, this, [job](int number, const HttpReply &reply) {
            const qsizetype count =
                qMin<qsizetype>(indexnow::kMaxBatch,
                                job.addresses.size() - qsizetype(number - 1) * indexnow::kMaxBatch);
            Out(AnswerLine(reply, QStringLiteral("%1 for %2").arg(Addresses(count), job.host)));
        });
        connect(sender, &BatchSender::pausing, this, [](int ms, const QString &why) {
            Problem(QStringLiteral("%1, in %2 s.").arg(why).arg((ms + 999) / 1000));
        });
        connect(sender, &BatchSender::finished, this,
                [this, job, sender](const BatchSender::Outcome &outcome) {
                    sender->deleteLater();
                    if (!outcome.recordError.isEmpty())
                        Problem(outcome.recordError);
                    if (!outcome.allReceived())
                        toldStop(job, outcome);
                    const int status = outcome.allReceived() ? kReceived : StatusFor(outcome.last);
                    if (status_ == kReceived)
                        status_ = status;
                    if (status == kRateLimited || status == kNoAnswer) {
                        for (const BatchSender::Job &left : std::as_const(jobs_))
                            Problem(QStringLiteral("Not sent: %1 for %2.")
                                        .arg(Addresses(left.addresses.size()), left.host));
                        jobs_.clear();
                    }
                    sendNext();
                });
        sender->start(job);
    }

    void toldStop(const BatchSender::Job &job, const BatchSender::Outcome &outcome)
    {
        Problem(indexnow::Advice(outcome.last, job.keyLocation, job.key));
        QString text =
            QStringLiteral("%1 of %2 received for %3; %4 not received.")
                .arg(outcome.received)
                .arg(Addresses(job.addresses.size()), job.host, Addresses(outcome.unsent.size()));
        if (outcome.retryAt.isValid())
            text += QStringLiteral(" Try again after %1.")
                        .arg(outcome.retryAt.toUTC().toString(
                            QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'")));
        Problem(text);
    }

    LazyHttp http_;
    QPointer<SitemapLoader> loader_;
    QString endpoint_;
    QString key_;
    bool dryRun_ = false;
    bool changedOnly_ = false;
    QStringList patterns_;
    QList<BatchSender::Job> jobs_;
    QStringList keyFiles_; // the site of each job, for its key file
    int status_ = kReceived;
};

} // namespace

bool IsCommandLineRun(int argc, char *argv[])
{
    QList<QByteArray> own{"help", "h", "?", "help-all", "version", "v"};
    for (const QCommandLineOption &option : OwnOptions())
        for (const QString &name : option.names())
            own << name.toLatin1();
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        // After these, nothing is an option of the program's: "--" ends the
        // options, and what follows "--webEngineArgs" is the web engine's.
        if (arg == "--" || arg == "--webEngineArgs")
            return false;
        if (arg.size() < 2 || arg.at(0) != '-')
            continue;
        const bool twoDashes = arg.startsWith("--");
        const int equals = arg.indexOf('=');
        const QByteArray name =
            arg.mid(twoDashes ? 2 : 1, equals < 0 ? -1 : equals - (twoDashes ? 2 : 1));
        if (own.contains(name))
            return true;
        if (Listed(name, kQtOptionsWithValue)) {
            if (equals < 0)
                ++i; // its value
            continue;
        }
        if (Listed(name, kQtFlags))
            continue;
        if (twoDashes)
            return true; // unknown: the command line says so
    }
    return false;
}

int Run(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QString::fromLatin1(identity::kTitle));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(identity::kVersion));
    Runner runner;
    QTimer::singleShot(0, &runner, [&runner] { runner.start(); });
    return QCoreApplication::exec();
}

} // namespace commandline
