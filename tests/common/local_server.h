#pragma once

#include <QMap>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A small web server on 127.0.0.1 for tests: records the request line of
// every request it gets ("GET /path HTTP/1.1", favicons left out) and the
// last whole head, and answers with the page set for the path, or with one
// titled "Answer <n>".
class LocalServer
{
public:
    LocalServer()
    {
        if (!server_.listen(QHostAddress::LocalHost))
            qFatal("cannot listen on 127.0.0.1");
        setPage(QStringLiteral("/favicon.ico"), {}); // none: "404 Not Found"
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket *socket = server_.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { answer(socket); });
        });
    }

    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort()); }
    QString url(const QString &path) const { return QStringLiteral("http://") + host() + path; }
    QStringList requests() const { return requests_; }
    QByteArray lastHead;
    void clear() { requests_.clear(); }
    void setPage(const QString &path, const QByteArray &body) { pages_.insert(path, body); }
    // Answer path with this status line text ("403 Forbidden"); an empty one:
    // never answer; "hang up": close the connection without an answer.
    void setStatus(const QString &path, const QByteArray &line) { statuses_.insert(path, line); }

private:
    void answer(QTcpSocket *socket)
    {
        if (!socket->peek(1 << 16).contains("\r\n\r\n")) // the whole head first
            return;
        const QByteArray request = lastHead = socket->readAll();
        const QString line = QString::fromLatin1(request.left(request.indexOf("\r\n")));
        const QString path = line.section(' ', 1, 1).section('?', 0, 0);
        if (path != QLatin1String("/favicon.ico"))
            requests_ << line;
        const QByteArray status = statuses_.value(path, "200 OK");
        if (status == "hang up")
            socket->disconnectFromHost();
        if (status.isEmpty() || status == "hang up")
            return;
        const QByteArray body =
            pages_.value(path, "<!doctype html><title>Answer " +
                                   QByteArray::number(requests_.size()) + "</title>");
        socket->write("HTTP/1.1 " + (body.isEmpty() ? QByteArray("404 Not Found") : status) +
                      "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QStringList requests_;
    QMap<QString, QByteArray> pages_;
    QMap<QString, QByteArray> statuses_;
};
