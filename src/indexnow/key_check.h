#pragma once

#include "http.h"

#include <QString>

#include <functional>

// Whether a site serves the IndexNow key file as the engines will fetch it.
namespace indexnow {

struct KeyFileCheck
{
    enum Outcome
    {
        Passed,
        NotFound,          // 404 or 410
        HtmlPage,          // 200, but an HTML page (a "not found" page, say)
        OtherBody,         // 200, but not the key
        OtherStatus,       // any other status
        RedirectElsewhere, // a redirect to another host
        Certificate,       // the certificate could not be verified
        NoAnswer,          // a network error, or no answer in time
    };
    Outcome outcome = NoAnswer;
    // A pass served as another type than text/plain: what to change.
    QString warning;
    // What was found at which address and what to do; names the address.
    QString text;
    bool passed() const { return outcome == Passed; }
};

// The verdict on what keyFileAddress answered. Passes only on status 200
// with a body that is exactly key (a trailing line end and a UTF-8
// byte-order mark allowed).
KeyFileCheck JudgeKeyFile(const HttpReply &reply, const QString &keyFileAddress,
                          const QString &key);

// Fetches keyFileAddress (redirects followed on its host only) and calls
// done with the verdict. Returns the request's id (Http::cancel).
quint64 CheckKeyFile(Http &http, const QString &keyFileAddress, const QString &key,
                     std::function<void(const KeyFileCheck &)> done, int timeoutMs = 10000);

} // namespace indexnow
