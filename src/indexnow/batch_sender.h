#pragma once

#include "http.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QTimer>

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
        // Why an answer could not be added to the record (the first such
        // failure); empty when every one was. It never stops the sending.
        QString recordError;
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

    // Ignored while a run is on its way. Each run ends with one finished,
    // from the event loop (never from within start or cancel).
    void start(const Job &job);
    // Stops before the next batch or retry; a request on its way ends first.
    void cancel();

signals:
    void batchStarted(int number, int count); // "batch n of N"
    void answered(int number, const HttpReply &reply);
    void pausing(int ms, const QString &why);
    void finished(const indexnow::BatchSender::Outcome &outcome);

private:
    void send();
    void onAnswer(const HttpReply &reply);
    void record(const HttpReply &reply);
    void finish();

    Http &http_;
    int firstPauseMs_ = 5000;
    int timeoutMs_ = 10000;
    Job job_;
    QList<QStringList> batches_;
    int next_ = 0;    // the batch on its way or to send next
    int retries_ = 0; // of that batch
    bool running_ = false;
    bool cancelled_ = false;
    bool sending_ = false; // a request is on its way
    quint64 request_ = 0;
    QTimer pause_;
    Outcome outcome_;
};

} // namespace indexnow
