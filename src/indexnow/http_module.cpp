// The program's transport (see http.h): Qt Network, in a module of its own
// so that the window shows before Qt Network is loaded.

#include "http.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSslError>
#include <QTimer>

#include <map>

namespace {

using indexnow::HttpRequest;

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A redirect is followed only on the same host, never from https to http,
// and on the same port unless it moves from http to https.
bool MayFollow(const QUrl &from, const QUrl &to)
{
    const QString scheme = to.scheme();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return false;
    if (from.host().compare(to.host(), Qt::CaseInsensitive) != 0)
        return false;
    if (from.scheme() == QLatin1String("https"))
        return scheme == QLatin1String("https") && from.port(443) == to.port(443);
    return scheme == QLatin1String("https") || from.port(80) == to.port(80);
}

// Ends a request's timer, which may be the one whose timeout is running.
void Stop(QTimer *timer)
{
    timer->stop();
    timer->deleteLater();
}

class NetworkHttp : public indexnow::Http
{
public:
    quint64 send(const HttpRequest &request, Done done) override
    {
        const quint64 id = ++lastId_;
        Pending &pending = pending_[id];
        pending.request = request;
        pending.done = std::move(done);
        pending.timer = new QTimer(&network_);
        pending.timer->setSingleShot(true);
        QObject::connect(pending.timer, &QTimer::timeout, pending.timer, [this, id] {
            Pending &p = pending_.at(id);
            p.timedOut = true;
            p.reply->abort(); // finished comes at once
        });
        pending.timer->start(request.timeoutMs);
        start(id, request.url);
        return id;
    }

    void cancel(quint64 id) override
    {
        const auto it = pending_.find(id);
        if (it == pending_.end())
            return;
        Pending pending = std::move(it->second);
        pending_.erase(it);
        Stop(pending.timer);
        if (pending.reply) {
            pending.reply->disconnect();
            pending.reply->abort();
            pending.reply->deleteLater();
        }
    }

private:
    struct Pending
    {
        HttpRequest request;
        Done done;
        QTimer *timer = nullptr;
        QPointer<QNetworkReply> reply;
        QByteArray body;
        int redirects = 0;
        bool timedOut = false;
        bool tooLarge = false;
        QStringList sslErrors;
    };

    void start(quint64 id, const QUrl &url)
    {
        Pending &pending = pending_.at(id);
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Pagecrier"));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        // The request's own bound (maxBytes) rules what an answer inflates to.
        request.setDecompressedSafetyCheckThreshold(-1);
        QNetworkReply *reply;
        if (pending.request.method == "POST") {
            request.setHeader(QNetworkRequest::ContentTypeHeader, pending.request.contentType);
            reply = network_.post(request, pending.request.body);
        } else {
            reply = network_.get(request);
        }
        pending.reply = reply;
        pending.body.clear();
        QObject::connect(reply, &QNetworkReply::readyRead, reply,
                         [this, id, reply] { take(pending_.at(id), reply); });
        QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                         [this, id](const QList<QSslError> &errors) {
                             // Never ignored: the handshake fails.
                             for (const QSslError &error : errors)
                                 pending_.at(id).sslErrors << error.errorString();
                         });
        QObject::connect(reply, &QNetworkReply::finished, reply,
                         [this, id, reply] { finished(id, reply); });
    }

    // Moves what has arrived into the body, straight into its place: an
    // answer of many megabytes is copied once, and its room is taken once
    // when the server says how long it is. A body over the bound stops the
    // request.
    static void take(Pending &pending, QNetworkReply *reply)
    {
        const qint64 available = reply->bytesAvailable();
        if (pending.tooLarge || available <= 0)
            return;
        const qint64 size = pending.body.size();
        if (size + available > pending.request.maxBytes) {
            pending.tooLarge = true;
            reply->abort();
            return;
        }
        if (size == 0) {
            const qint64 length = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            pending.body.reserve(qBound(available, length, pending.request.maxBytes));
        }
        pending.body.resize(size + available);
        const qint64 read = reply->read(pending.body.data() + size, available);
        pending.body.resize(size + qMax<qint64>(read, 0));
    }

    void finished(quint64 id, QNetworkReply *reply)
    {
        reply->deleteLater();
        Pending &pending = pending_.at(id);
        if (!pending.timedOut)
            take(pending, reply);
        HttpReply answer;
        answer.url = reply->url();
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (pending.timedOut) {
            answer.timedOut = true;
            answer.error = QStringLiteral("no answer within %1 seconds")
                               .arg(pending.request.timeoutMs / 1000.0);
        } else if (status.isValid()) {
            answer.status = status.toInt();
            answer.reason = QString::fromUtf8(
                reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray());
            answer.contentType = QString::fromLatin1(reply->rawHeader("Content-Type"));
            answer.retryAfter = QString::fromLatin1(reply->rawHeader("Retry-After"));
            answer.body = pending.body;
        } else if (!pending.sslErrors.isEmpty()) {
            answer.certificateError = true;
            answer.error = pending.sslErrors.join(QStringLiteral("; "));
        } else if (!pending.tooLarge) {
            answer.error = reply->errorString();
        }
        if (pending.tooLarge && !pending.timedOut) {
            answer.tooLarge = true;
            answer.body.clear();
            answer.error =
                QStringLiteral("the answer is larger than %1 bytes").arg(pending.request.maxBytes);
        }

        if (IsRedirect(answer.status) && reply->hasRawHeader("Location")) {
            const QUrl to = answer.url.resolved(
                QUrl::fromEncoded(reply->rawHeader("Location"), QUrl::StrictMode));
            if (to.isValid() && pending.redirects < pending.request.maxRedirects &&
                MayFollow(answer.url, to)) {
                ++pending.redirects;
                if (answer.status != 307 && answer.status != 308)
                    pending.request.method = "GET";
                start(id, to);
                return;
            }
            answer.redirectRefused = to;
        }
        Pending done = std::move(pending);
        pending_.erase(id);
        Stop(done.timer);
        done.done(answer);
    }

    QNetworkAccessManager network_;
    std::map<quint64, Pending> pending_;
    quint64 lastId_ = 0;
};

} // namespace

extern "C" Q_DECL_EXPORT indexnow::Http *pagecrier_create_http()
{
    return new NetworkHttp;
}
