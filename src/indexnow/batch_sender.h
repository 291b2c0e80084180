#pragma once

#include "http.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

// Sends a set of addresses in batches of at most kMaxBatch, one POST each,
// one at a time. A 429, a 5xx answer or a network error is tried again after
// a pause that doubles each time (Retry-After honoured), at most 3 times; a
// pause longer than a minute is not waited out. A 400, 403 or 422 stops the
// run at once. Every answer is added to the record.
namespace indexnow {

class BatchSender : public QObject
{
    Q_OBJECT
public:
    struct Job
    {
        QString endpoint; // scheme and host; "/indexnow" is added
        QString host;
        QString key;
        QString keyLocation;
        QStringList addresses;
    };

    struct Outcome
    {
        int received = 0;   // addresses the endpoint received (200 or 202)
        QStringList unsent; // not sent or not received: what a later run sends
        HttpReply last;     // the answer that ended the run
        bool cancelled = false;
        QDateTime retryAt; // UTC; valid when a pause too long stopped the run
        bool allReceived() const { return unsent.isEmpty(); }
    };

    static constexpr int kMaxRetries = 3;
    static constexpr int kMaxPauseMs = 60000;

    explicit BatchSender(Http &http, QObject *parent = nullptr);
    ~BatchSender() override;

    // The first pause before a retry (default 5 s) and each request's time
    // limit (default 10 s); tests shorten them.
    void setFirstPause(int ms);
    void setTimeout(int ms);

    void start(const Job &job);
    // Stops before the next batch or retry; a request on its way ends first.
    void cancel();

signals:
    void batchStarted(int number, int count); // "batch n of N"
    void answered(int number, const HttpReply &reply);
    void pausing(int ms, const QString &why);
    void finished(const indexnow::BatchSender::Outcome &outcome);
};

} // namespace indexnow
