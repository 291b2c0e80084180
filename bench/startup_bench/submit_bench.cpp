// The main window driven against a local server, two ways:
//   submit_bench <presses> [screenshot.png]
//     once the pane is ready, times each engine button press to the request
//     line at the server and prints one time per press in milliseconds; then
//     takes a screenshot of the pane showing the last answer page (saved when
//     a file is named) and prints "# answer page: <n> dark pixels" (none means
//     the pane stayed blank);
//   submit_bench first-paint
//     presses an engine button as the window's first paint ends and prints
//     the nanoseconds from PAGECRIER_LAUNCH_NS (CLOCK_REALTIME, taken right
//     before the launch) to the request line at the server.

#include "form1.h"
#include "sstab.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

long long nowNs(clockid_t clock = CLOCK_MONOTONIC)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Answers every request with a page showing a heading, and calls seen() on
// each request line for an engine's submission address.
template <typename Seen> void serve(QTcpServer &server, Seen seen)
{
    server.listen(QHostAddress::LocalHost);
    QObject::connect(&server, &QTcpServer::newConnection, [&server, seen] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, seen] {
                if (socket->readAll().startsWith("GET /addurl"))
                    seen();
                const QByteArray body = "<!doctype html><body style='background:#fff'>"
                                        "<h1 style='font-size:40px'>Thank you</h1></body>";
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

template <typename Condition> void spin(Condition condition)
{
    while (!condition())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

QPushButton *googleButton(Form1 &form)
{
    return form.findChild<QPushButton *>(QStringLiteral("Command1"));
}

// Dark pixels in a screenshot of the pane, as the display shows it.
int darkPixelsInPane(Form1 &form, const char *file)
{
    auto *pane = form.findChild<WebBrowser *>(QStringLiteral("WebBrowser1"));
    const QPoint at = pane->mapTo(&form, QPoint(0, 0));
    const QImage shot =
        form.screen()
            ->grabWindow(form.winId(), at.x(), at.y(), pane->width(), pane->height())
            .toImage();
    if (file)
        shot.save(QString::fromLocal8Bit(file));
    int dark = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            dark += qGray(shot.pixel(x, y)) < 96;
    return dark;
}

int submit(int presses, const char *screenshot)
{
    QTcpServer server;
    long long pressedAt = 0;
    QList<double> times;
    serve(server, [&] {
        if (pressedAt) {
            times << (nowNs() - pressedAt) / 1e6;
            pressedAt = 0;
        }
    });

    Form1 form;
    form.setHosts(HostTable::AllAt(QStringLiteral("127.0.0.1:%1").arg(server.serverPort())));
    form.show();
    auto *pane = form.findChild<WebBrowser *>(QStringLiteral("WebBrowser1"));
    spin([&] { return pane->engineStarted(); });
    spin([&] {
        return pane->viewWidget()->property("url").toUrl() == QUrl(QStringLiteral("about:blank"));
    });
    for (int i = 0; i < presses; ++i) {
        const int before = times.size();
        pressedAt = nowNs();
        googleButton(form)->click();
        spin([&] { return times.size() > before; });
        // Let the answer load before the next press.
        spin([&] {
            return pane->viewWidget()->property("url").toUrl().path() == QLatin1String("/addurl");
        });
        QCoreApplication::processEvents();
    }
    for (double t : times)
        std::printf("%.3f\n", t);
    // Show the pane's tab, give the answer page time to be drawn, then look
    // at the screen.
    form.findChild<SSTab *>(QStringLiteral("SSTab1"))->setCurrentIndex(1);
    bool drawn = false;
    QTimer::singleShot(1500, [&] { drawn = true; });
    spin([&] { return drawn; });
    std::printf("# answer page: %d dark pixels\n", darkPixelsInPane(form, screenshot));
    return 0;
}

// A press as soon as the first paint is over, timed from the launch.
class PressAtFirstPaint : public QObject
{
public:
    explicit PressAtFirstPaint(Form1 &form) : form_(form) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !pressed_ && watched->isWidgetType() &&
            static_cast<QWidget *>(watched)->window() == &form_) {
            pressed_ = true;
            QTimer::singleShot(0, &form_, [this] { googleButton(form_)->click(); });
        }
        return false;
    }

private:
    Form1 &form_;
    bool pressed_ = false;
};

int firstPaint()
{
    const long long launch = std::atoll(qgetenv("PAGECRIER_LAUNCH_NS").constData());
    QTcpServer server;
    serve(server, [launch] {
        std::printf("%lld\n", nowNs(CLOCK_REALTIME) - launch);
        std::fflush(stdout);
        _exit(0);
    });
    Form1 form;
    form.setHosts(HostTable::AllAt(QStringLiteral("127.0.0.1:%1").arg(server.serverPort())));
    PressAtFirstPaint press(form);
    qApp->installEventFilter(&press);
    form.show();
    return QApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <presses> [screenshot.png] | first-paint\n", argv[0]);
        return 2;
    }
    PrepareWebEngine();
    QApplication app(argc, argv);
    if (qstrcmp(argv[1], "first-paint") == 0)
        return firstPaint();
    return submit(std::atoi(argv[1]), argc > 2 ? argv[2] : nullptr);
}
