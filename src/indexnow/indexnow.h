#pragma once

#include "http.h"
#include "http_reply.h"

#include <QString>

#include <functional>

// IndexNow: one request tells the participating search engines that a page
// is new or changed. The site proves that the submitter may do so with a key
// that it serves as <key>.txt at the root of its host. No widgets here: the
// main window's command and the key dialog pass their texts in.
namespace indexnow {

// The endpoint is configuration: see endpoints.h.

// How long the program waits for an answer.
constexpr int kTimeoutMs = 10000;

// 8 to 128 characters, each a-z, A-Z, 0-9 or "-".
bool IsValidKey(const QString &key);

// A new key: 32 hexadecimal characters from the system's secure source.
QString MakeKey();

// "<key>.txt"
QString KeyFileName(const QString &key);

// Why page cannot be submitted (empty, or not an absolute http or https
// address with a host), or an empty text when it can.
QString RefusalFor(const QString &page);

// Where the site must serve the key file: "<scheme>://<host>[:<port>]/<key>.txt"
// of page; empty when page is refused.
QString KeyFileAddress(const QString &page, const QString &key);

// "<endpoint>/indexnow?url=<page>&key=<key>", the page address
// percent-encoded as UTF-8 so that it reaches the endpoint as one value.
QString RequestAddress(const QString &endpoint, const QString &page, const QString &key);

// The short page the pane shows for reply: what the answer means and what
// to do about it.
QString AnswerPage(const HttpReply &reply, const QString &page, const QString &key,
                   int timeoutMs = kTimeoutMs);

// Why nothing is sent with a stored key that breaks the key rules.
QString BadKeyText();

// The page shown while the request is on its way.
QString SendingPage(const QString &page);

// What an answer means, in a few words, as the pages' titles, the record
// and the command line say it: "received", "received, key check pending",
// "bad request", "key not valid", "address not on the key's host", "too many
// requests", "unexpected answer 500", "no answer", "certificate not
// verified", ...
QString Meaning(const HttpReply &reply, int timeoutMs = kTimeoutMs);

// What to do about an answer, in plain text (the advice AnswerPage gives).
QString Advice(const HttpReply &reply, const QString &keyFileAddress, const QString &key);

// Submits page alone (one GET to endpoint), adds the answer to the record
// and calls done with it. Returns the request's id (Http::cancel). When the
// record cannot be written, recordFailed (if given) is told why first.
quint64 SubmitAddress(Http &http, const QString &endpoint, const QString &page, const QString &key,
                      std::function<void(const HttpReply &)> done, int timeoutMs = kTimeoutMs,
                      std::function<void(const QString &)> recordFailed = {});

} // namespace indexnow
