#pragma once

#include <QString>

// What came of one plain GET request made by the program.
struct HttpReply
{
    int status = 0; // the HTTP status, 0 when no answer was read
    QString reason; // the status line's reason phrase, as sent
    bool timedOut = false;
    QString error; // why no answer was read (status 0 only)
};
