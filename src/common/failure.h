#pragma once

#include <QString>

#include <functional>
#include <stdexcept>

// A failure that a handler does not deal with itself. Anything that can go
// wrong in a handler throws one of these (or any std::exception); RunHandler
// catches it, skips the rest of the handler and reports it.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &message);
    QString message() const { return message_; }

private:
    QString message_;
};

// Runs one event handler. A failure inside it skips the rest of the handler
// (what it did before stays done), is reported in a message box titled with
// the application title, and the program goes on running: nothing the user
// typed is lost.
void RunHandler(const char *handlerName, const std::function<void()> &body);

// The text of the report RunHandler shows for a failure in handlerName.
QString FailureReport(const char *handlerName, const QString &what);
