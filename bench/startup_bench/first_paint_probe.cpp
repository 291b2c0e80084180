// Preloaded (LD_PRELOAD) into a Qt Widgets program to time its start, so the
// real program is measured as it is built and installed, and a bare window
// is measured the same way.
//
// PAGECRIER_LAUNCH_NS holds CLOCK_REALTIME in nanoseconds, taken by the
// script right before it started the program. Once the first window's first
// frame has been painted, the probe prints the nanoseconds since then on
// standard output and ends the process at once. With PAGECRIER_PROBE_PHASES
// set it also prints, on standard error, when the shared libraries were
// loaded, when the application object was made and when the first paint
// began.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

long long NowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

const long long gLoaded = NowNs();

long long Launch()
{
    const char *launch = std::getenv("PAGECRIER_LAUNCH_NS");
    return launch ? std::atoll(launch) : gLoaded;
}

void Phase(const char *what, long long at)
{
    if (std::getenv("PAGECRIER_PROBE_PHASES"))
        std::fprintf(stderr, "%-14s %7.2f ms\n", what, (at - Launch()) / 1e6);
}

class FirstFrame : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType() && !seen_) {
            seen_ = true;
            Phase("paint begins", NowNs());
            // The window's first paint is one pass over it and all its
            // children; this runs when that pass is over, before anything the
            // program itself queued while it was painted.
            QTimer::singleShot(0, [] {
                const long long done = NowNs();
                Phase("frame painted", done);
                std::printf("%lld\n", done - Launch());
                std::fflush(stdout);
                std::fflush(stderr);
                _exit(0);
            });
        }
        return false;
    }

private:
    bool seen_ = false;
};

void Install()
{
    Phase("libraries", gLoaded);
    Phase("application", NowNs());
    QCoreApplication::instance()->installEventFilter(new FirstFrame);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(Install)
