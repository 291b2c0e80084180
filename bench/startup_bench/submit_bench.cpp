// Once the pane is ready, times each engine button press to the request
// line at a local server, and prints one time per press in milliseconds:
//   submit_bench <presses>

#include "form1.h"
#include "webbrowser.h"
#include "webengine_setup.h"

#include <QApplication>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

long long nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

int submit(int presses)
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    long long pressedAt = 0;
    QList<double> times;
    QObject::connect(&server, &QTcpServer::newConnection, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [&, socket] {
                const QByteArray data = socket->readAll();
                if (data.startsWith("GET /addurl") && pressedAt) {
                    times << (nowNs() - pressedAt) / 1e6;
                    pressedAt = 0;
                }
                socket->write(
                    "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });

    Form1 form;
    form.setHosts(HostTable::AllAt(QStringLiteral("127.0.0.1:%1").arg(server.serverPort())));
    form.show();
    auto *pane = form.findChild<WebBrowser *>(QStringLiteral("WebBrowser1"));
    auto *google = form.findChild<QPushButton *>(QStringLiteral("Command1"));
    auto spin = [](auto condition) {
        while (!condition())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    spin([&] { return pane->engineStarted(); });
    spin([&] {
        return pane->viewWidget()->property("url").toUrl() == QUrl(QStringLiteral("about:blank"));
    });
    for (int i = 0; i < presses; ++i) {
        const int before = times.size();
        pressedAt = nowNs();
        google->click();
        spin([&] { return times.size() > before; });
        // Let the answer load before the next press.
        spin([&] {
            return pane->viewWidget()->property("url").toUrl().path() == QLatin1String("/addurl");
        });
        QCoreApplication::processEvents();
    }
    for (double t : times)
        std::printf("%.3f\n", t);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <presses>\n", argv[0]);
        return 2;
    }
    PrepareWebEngine();
    QApplication app(argc, argv);
    return submit(std::atoi(argv[1]));
}
