#pragma once

#include <QHostAddress>
#include <QMap>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// A small web server on 127.0.0.1 for tests: records the request line of
// every request it gets and answers each with a page of its own (by path),
// or with a page whose title names the request.
class LocalServer
{
public:
    LocalServer()
    {
        if (!server_.listen(QHostAddress::LocalHost))
            qFatal("cannot listen on 127.0.0.1");
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] { accept(); });
    }

    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(server_.serverPort()); }
    QString url(const QString &path) const { return QStringLiteral("http://") + host() + path; }

    // Request lines ("GET /path HTTP/1.1") received so far, favicon requests left out.
    QStringList requests() const { return requests_; }
    void clear() { requests_.clear(); }

    // Serve body as an HTML page for path (the path without its query).
    void setPage(const QString &path, const QByteArray &body) { pages_.insert(path, body); }
    // Answer path with this status line text (for instance "403 Forbidden"),
    // or with an empty one never answer it.
    void setStatus(const QString &path, const QByteArray &status)
    {
        statuses_.insert(path, status);
    }

    static QByteArray titledPage(const QString &title)
    {
        return "<!doctype html><html><head><title>" + title.toUtf8() +
               "</title></head><body><p>Thank you.</p></body></html>";
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = server_.nextPendingConnection()) {
            auto *buffer = new QByteArray;
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                if (!buffer->contains("\r\n\r\n"))
                    return;
                const QByteArray line = buffer->left(buffer->indexOf("\r\n"));
                buffer->clear();
                const QString requestLine = QString::fromLatin1(line);
                const QString target = requestLine.section(QLatin1Char(' '), 1, 1);
                const QString path = target.section(QLatin1Char('?'), 0, 0);
                QByteArray body;
                QByteArray status = statuses_.value(path, "200 OK");
                if (path == QLatin1String("/favicon.ico")) {
                    status = "404 Not Found";
                } else {
                    requests_.append(requestLine);
                    if (status.isEmpty())
                        return;
                    body = pages_.contains(path)
                               ? pages_.value(path)
                               : titledPage(QStringLiteral("Answer %1").arg(requests_.size()));
                }
                socket->write("HTTP/1.1 " + status +
                              "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" +
                              body);
                socket->disconnectFromHost();
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, buffer] {
                delete buffer;
                socket->deleteLater();
            });
        }
    }

    QTcpServer server_;
    QStringList requests_;
    QMap<QString, QByteArray> pages_;
    QMap<QString, QByteArray> statuses_;
};
