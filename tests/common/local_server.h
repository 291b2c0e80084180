#pragma once

#include <QFile>
#include <QMap>
#include <QSslKey>
#include <QSslServer>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

// A small web server on 127.0.0.1 for tests: records the request line of
// every request it gets ("GET /path HTTP/1.1", favicons left out) with its
// body, and the last whole head, and answers with the page set for the path,
// or with one titled "Answer <n>". LocalServer(LocalServer::Untrusted)
// speaks https with a self-signed certificate for 127.0.0.1, which no client
// can verify.
class LocalServer
{
public:
    enum Tls
    {
        Plain,
        Untrusted
    };

    explicit LocalServer(Tls tls = Plain)
    {
        if (tls == Untrusted) {
            auto *ssl = new QSslServer;
            QSslConfiguration config = QSslConfiguration::defaultConfiguration();
            const QString pem = QStringLiteral(PAGECRIER_TESTS_COMMON "/untrusted_%1.pem");
            QFile key(pem.arg(QLatin1String("key")));
            config.setLocalCertificate(
                QSslCertificate::fromPath(pem.arg(QLatin1String("cert"))).value(0));
            config.setPrivateKey(
                QSslKey(key.open(QIODevice::ReadOnly) ? key.readAll() : "", QSsl::Ec));
            ssl->setSslConfiguration(config);
            server_.reset(ssl);
        } else {
            server_ = std::make_unique<QTcpServer>();
        }
        if (!server_->listen(QHostAddress::LocalHost))
            qFatal("cannot listen on 127.0.0.1");
        setPage(QStringLiteral("/favicon.ico"), {}); // none: "404 Not Found"
        QTcpServer *server = server_.get();
        QObject::connect(server, &QTcpServer::pendingConnectionAvailable, server, [this, server] {
            while (QTcpSocket *socket = server->nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { answer(socket); });
                answer(socket);
            }
        });
        scheme_ = tls == Untrusted ? "https://" : "http://";
    }

    QString host() const { return QStringLiteral("127.0.0.1:%1").arg(server_->serverPort()); }
    QString url(const QString &path) const { return scheme_ + host() + path; }
    QStringList requests() const { return requests_; }
    QList<QByteArray> bodies() const { return bodies_; } // one a request, in order
    QByteArray lastHead;
    void clear()
    {
        requests_.clear();
        bodies_.clear();
    }
    // An empty body without a status set for the path answers "404 Not Found".
    void setPage(const QString &path, const QByteArray &body) { pages_.insert(path, body); }
    // Answer path with this status line text ("403 Forbidden"); an empty one:
    // never answer; "hang up": close the connection without an answer.
    void setStatus(const QString &path, const QByteArray &line) { statuses_[path] = {line}; }
    // One status line a request, in turn; the last one stays.
    void setStatuses(const QString &path, const QList<QByteArray> &lines)
    {
        statuses_[path] = lines;
    }
    // More header lines for path's answers ("Location: /b", "Retry-After: 2");
    // a Content-Type line replaces the usual one.
    void setHeaders(const QString &path, const QList<QByteArray> &lines) { headers_[path] = lines; }
    // Send half of path's body, and the rest ms later.
    void setPause(const QString &path, int ms) { pauses_[path] = ms; }

private:
    void answer(QTcpSocket *socket)
    {
        const QByteArray seen = socket->peek(1 << 16);
        const qsizetype headEnd = seen.indexOf("\r\n\r\n") + 4;
        if (headEnd < 4) // the whole head first
            return;
        qint64 length = 0;
        for (const QByteArray &line : seen.left(headEnd).split('\n'))
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        if (socket->bytesAvailable() < headEnd + length) // and the whole body
            return;
        lastHead = socket->read(headEnd);
        const QByteArray sent = socket->read(length);
        const QString line = QString::fromLatin1(lastHead.left(lastHead.indexOf("\r\n")));
        const QString path = line.section(' ', 1, 1).section('?', 0, 0);
        if (path != QLatin1String("/favicon.ico")) {
            requests_ << line;
            bodies_ << sent;
        }
        QList<QByteArray> &statuses = statuses_[path];
        const QByteArray status = statuses.isEmpty()    ? QByteArray("200 OK")
                                  : statuses.size() > 1 ? statuses.takeFirst()
                                                        : statuses[0];
        if (status == "hang up")
            socket->disconnectFromHost();
        if (status.isEmpty() || status == "hang up")
            return;
        const QByteArray body =
            pages_.value(path, "<!doctype html><title>Answer " +
                                   QByteArray::number(requests_.size()) + "</title>");
        QByteArray head =
            "HTTP/1.1 " + (body.isEmpty() && statuses.isEmpty() ? "404 Not Found" : status) +
            "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n";
        bool typed = false;
        for (const QByteArray &header : headers_.value(path)) {
            head += header + "\r\n";
            typed = typed || header.toLower().startsWith("content-type:");
        }
        if (!typed)
            head += "Content-Type: text/html; charset=utf-8\r\n";
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        const int pause = pauses_.value(path);
        const qsizetype now = pause ? body.size() / 2 : body.size();
        socket->write(head + "\r\n" + body.left(now));
        if (!pause)
            return socket->disconnectFromHost();
        QTimer::singleShot(pause, socket, [socket, rest = body.mid(now)] {
            socket->write(rest);
            socket->disconnectFromHost();
        });
    }

    std::unique_ptr<QTcpServer> server_;
    QString scheme_;
    QStringList requests_;
    QList<QByteArray> bodies_;
    QMap<QString, QByteArray> pages_;
    QMap<QString, QList<QByteArray>> statuses_;
    QMap<QString, QList<QByteArray>> headers_;
    QMap<QString, int> pauses_;
};
