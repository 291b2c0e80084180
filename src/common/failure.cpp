#include "failure.h"

#include "identity.h"
#include "msgbox.h"

Failure::Failure(const QString &message)
    : std::runtime_error(message.toStdString()), message_(message)
{}

QString FailureReport(const char *handlerName, const QString &what)
{
    return QStringLiteral("%1 could not finish %2:\n\n%3\n\nThe program goes on running; "
                          "the texts you typed are kept.")
        .arg(QString::fromLatin1(identity::kTitle), QString::fromLatin1(handlerName), what);
}

void RunHandler(const char *handlerName, const std::function<void()> &body)
{
    QString what;
    try {
        body();
        return;
    } catch (const Failure &f) {
        what = f.message();
    } catch (const std::exception &e) {
        what = QString::fromLocal8Bit(e.what());
    } catch (...) {
        what = QStringLiteral("An unknown error occurred.");
    }
    msgbox::Show(FailureReport(handlerName, what), msgbox::MB_OK,
                 QString::fromLatin1(identity::kTitle));
}
