#pragma once

// What both start-up probes share: the clock the script also reads, and a
// watcher that reports the time from launch to a widget's first paint.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <ctime>

inline long long nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Install on the widget whose first paint counts. Prints the nanoseconds from
// launch (CLOCK_REALTIME taken by the script right before starting the
// process) once the paint has gone out, then ends the event loop.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(long long launch) : launch_(launch) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !done_) {
            done_ = true;
            const long long elapsed = nowNs() - launch_;
            QTimer::singleShot(0, [elapsed] {
                std::printf("%lld\n", elapsed);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    long long launch_;
    bool done_ = false;
};
