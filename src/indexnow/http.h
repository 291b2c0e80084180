#pragma once

#include "http_reply.h"

#include <QByteArray>
#include <QUrl>

#include <functional>

namespace indexnow {

// One request made by the program itself (never by a page in the pane).
struct HttpRequest
{
    QUrl url;
    QByteArray method = "GET"; // "GET" or "POST"
    QByteArray body;           // POST only
    QByteArray contentType;    // POST only
    // The whole request, answer included, is given up after this long.
    int timeoutMs = 10000;
    // A longer answer body is not read: the reply says tooLarge.
    qint64 maxBytes = 1024 * 1024;
    // Redirects followed, each only to the same host and never from https
    // to http; any other is not followed (see HttpReply::redirectRefused).
    int maxRedirects = 0;
};

// The program's transport. Certificate errors are never ignored; a
// compressed answer (Content-Encoding) counts against maxBytes as it
// inflates. Every request carries "User-Agent: Pagecrier".
class Http
{
public:
    using Done = std::function<void(const HttpReply &)>;
    virtual ~Http() = default;
    // Starts the request and returns at once with its id; done is called
    // once, from the event loop, unless the request is cancelled first.
    virtual quint64 send(const HttpRequest &request, Done done) = 0;
    // Ends a request still on its way; its done is never called.
    virtual void cancel(quint64 id) = 0;
};

// The program's one transport: Qt Network, in a module of its own
// (pagecrier-net.so, beside the web engine's module) loaded on first use, so
// the window shows before Qt Network is loaded. It lives for the rest of the
// run. Throws Failure naming the module when it cannot be loaded.
Http &SharedHttp();

} // namespace indexnow

// The module's one entry point.
extern "C" indexnow::Http *pagecrier_create_http();
