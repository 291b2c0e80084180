#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// What came of one request the program made itself.
struct HttpReply
{
    int status = 0; // the HTTP status, 0 when no answer was read
    QString reason; // the status line's reason phrase, as sent
    bool timedOut = false;
    QString error; // why no answer was read, or why the body was cut off
    // The server's certificate could not be verified: the connection was
    // refused before anything was sent (status 0).
    bool certificateError = false;
    // The body grew past the request's bound; body is then empty.
    bool tooLarge = false;
    QByteArray body;
    QString contentType; // the Content-Type header, as sent
    QString retryAfter;  // the Retry-After header, as sent
    // A redirect that was not followed (to another host, to a less safe
    // scheme, or one too many): where it led. status is then the 3xx.
    QUrl redirectRefused;
    QUrl url; // where the answer came from, after the redirects followed
};
