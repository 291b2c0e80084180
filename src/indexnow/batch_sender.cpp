#include "batch_sender.h"

#include "addresses.h"
#include "failure.h"
#include "indexnow.h"
#include "record.h"

#include <QRegularExpression>

#include <algorithm>

namespace indexnow {

namespace {

// An endpoint's answer is a few lines at most.
constexpr qint64 kMaxAnswerBytes = 64 * 1024;
// Retry-After beyond this many seconds is taken as this long (a year).
constexpr qint64 kLongestWaitS = 365LL * 24 * 3600;

bool Received(const HttpReply &reply)
{
    return reply.status == 200 || reply.status == 202;
}

// Busy or out of reach: worth another try later. A certificate that cannot
// be verified will not verify on the next try either.
bool Retryable(const HttpReply &reply)
{
    return reply.status == 429 || (reply.status >= 500 && reply.status <= 599) ||
           (reply.status == 0 && !reply.certificateError);
}

// How long Retry-After (delay seconds or an HTTP date) asks to wait, in ms
// from now; -1 when there is none that can be read.
qint64 RetryAfterMs(const QString &value)
{
    const QString text = value.trimmed();
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (digits.match(text).hasMatch()) {
        const qint64 seconds = text.size() > 12 ? kLongestWaitS : text.toLongLong();
        return std::min(seconds, kLongestWaitS) * 1000;
    }
    // Qt reads RFC 2822 dates with a numeric zone; HTTP dates say "GMT".
    QString date = text;
    if (date.endsWith(QLatin1String(" GMT")))
        date = date.chopped(4) + QStringLiteral(" +0000");
    const QDateTime at = QDateTime::fromString(date, Qt::RFC2822Date);
    if (!at.isValid())
        return -1;
    return std::clamp(QDateTime::currentDateTimeUtc().msecsTo(at), qint64(0), kLongestWaitS * 1000);
}

} // namespace

BatchSender::BatchSender(Http &http, QObject *parent) : QObject(parent), http_(http)
{
    pause_.setSingleShot(true);
    connect(&pause_, &QTimer::timeout, this, &BatchSender::send); // cancel() stops it
}

BatchSender::~BatchSender()
{
    // Its done would call into a sender that is gone.
    if (sending_)
        http_.cancel(request_);
}

void BatchSender::setFirstPause(int ms)
{
    firstPauseMs_ = std::max(ms, 0);
}

void BatchSender::setTimeout(int ms)
{
    timeoutMs_ = std::max(ms, 1);
}

void BatchSender::start(const Job &job)
{
    if (running_)
        return;
    job_ = job;
    while (job_.endpoint.endsWith(QLatin1Char('/')))
        job_.endpoint.chop(1);
    batches_ = Batches(job_.addresses);
    next_ = 0;
    retries_ = 0;
    cancelled_ = false;
    outcome_ = Outcome();
    running_ = true;
    if (batches_.isEmpty())
        QMetaObject::invokeMethod(this, &BatchSender::finish, Qt::QueuedConnection);
    else
        send();
}

void BatchSender::cancel()
{
    if (!running_ || cancelled_)
        return;
    cancelled_ = true;
    if (pause_.isActive()) {
        pause_.stop();
        QMetaObject::invokeMethod(this, &BatchSender::finish, Qt::QueuedConnection);
    }
    // Otherwise a request is on its way: its answer ends the run.
}

void BatchSender::send()
{
    if (retries_ == 0)
        emit batchStarted(next_ + 1, int(batches_.size()));
    HttpRequest request;
    request.url = QUrl(job_.endpoint + QStringLiteral("/indexnow"));
    request.method = "POST";
    request.contentType = "application/json; charset=utf-8";
    request.body = BatchBody(job_.host, job_.key, job_.keyLocation, batches_.at(next_));
    request.timeoutMs = timeoutMs_;
    request.maxBytes = kMaxAnswerBytes;
    sending_ = true;
    request_ = http_.send(request, [this](const HttpReply &reply) { onAnswer(reply); });
}

void BatchSender::onAnswer(const HttpReply &reply)
{
    sending_ = false;
    outcome_.last = reply;
    record(reply);
    emit answered(next_ + 1, reply);

    if (Received(reply)) {
        outcome_.received += int(batches_.at(next_).size());
        ++next_;
        retries_ = 0;
        if (cancelled_ || next_ == batches_.size())
            finish();
        else
            send();
        return;
    }
    if (!Retryable(reply) || cancelled_ || retries_ == kMaxRetries) {
        finish();
        return;
    }
    // The pause doubles with each retry; a longer one the endpoint asks for
    // is kept to.
    qint64 pauseMs = qint64(firstPauseMs_) << retries_;
    const qint64 askedMs = RetryAfterMs(reply.retryAfter);
    pauseMs = std::max(pauseMs, askedMs);
    if (pauseMs > kMaxPauseMs) {
        outcome_.retryAt = QDateTime::currentDateTimeUtc().addMSecs(pauseMs);
        finish();
        return;
    }
    ++retries_;
    pause_.start(int(pauseMs)); // first, so that a cancel() on being told stops it
    emit pausing(int(pauseMs), QStringLiteral("%1; trying again (%2 of %3)")
                                   .arg(Meaning(reply, timeoutMs_), QString::number(retries_),
                                        QString::number(kMaxRetries)));
}

void BatchSender::record(const HttpReply &reply)
{
    const QStringList &batch = batches_.at(next_);
    RecordEntry entry;
    entry.time = QDateTime::currentDateTimeUtc();
    entry.endpoint = job_.endpoint;
    entry.host = job_.host;
    entry.count = int(batch.size());
    entry.first = batch.first();
    entry.status = reply.status;
    entry.meaning = Meaning(reply, timeoutMs_);
    try {
        Record().Append(entry);
    } catch (const Failure &failure) {
        // The submission itself went out; losing its entry must not stop
        // the rest from going.
        if (outcome_.recordError.isEmpty())
            outcome_.recordError = failure.message();
    }
}

void BatchSender::finish()
{
    if (!running_)
        return;
    running_ = false;
    for (int i = next_; i < batches_.size(); ++i)
        outcome_.unsent += batches_.at(i);
    outcome_.cancelled = cancelled_;
    emit finished(outcome_); // the last thing done: a receiver may delete this
}

} // namespace indexnow
