// A bare Qt window of the main window's size: prints the nanoseconds from
// <launch-ns> (CLOCK_REALTIME, taken by the script right before starting it)
// to its first paint.

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

long long nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

class Window : public QWidget
{
public:
    explicit Window(long long launch) : launch_(launch) {}

protected:
    bool event(QEvent *event) override
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
        return QWidget::event(event);
    }

private:
    long long launch_;
    bool done_ = false;
};

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <launch-ns>\n", argv[0]);
        return 2;
    }
    const long long launch = std::atoll(argv[1]);
    QApplication app(argc, argv);
    Window window(launch);
    window.resize(679, 370);
    window.show();
    return QApplication::exec();
}
