#include "key_check.h"

#include "indexnow.h"

#include <QRegularExpression>

namespace indexnow {

namespace {

// A key file is a few dozen bytes; a longer answer is no key file.
constexpr qint64 kMaxKeyFileBytes = 64 * 1024;
// How many characters of an unexpected body are shown.
constexpr int kShownBody = 40;

// The first characters of body, line ends and other control characters
// written as escapes, so that the user sees what is there.
QString Glimpse(const QByteArray &body)
{
    const QString text = QString::fromUtf8(body);
    QString shown;
    for (const QChar c : text.left(kShownBody)) {
        if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (c == QLatin1Char('\r'))
            shown += QStringLiteral("\\r");
        else if (c == QLatin1Char('\t'))
            shown += QStringLiteral("\\t");
        else if (c == QLatin1Char('\\'))
            shown += QStringLiteral("\\\\");
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return QLatin1Char('"') + shown + QLatin1Char('"') +
           (text.size() > kShownBody ? QStringLiteral("...") : QString());
}

// The media type of a Content-Type header, lowercased, parameters left out.
QString MediaType(const QString &contentType)
{
    return contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
}

bool LooksLikeHtml(const QByteArray &body, const QString &contentType)
{
    const QString type = MediaType(contentType);
    if (type == QLatin1String("text/html") || type == QLatin1String("application/xhtml+xml"))
        return true;
    static const QRegularExpression start(
        QStringLiteral("^\\s*<(!doctype\\s+html|html|head|body|title|meta|!--)"),
        QRegularExpression::CaseInsensitiveOption);
    return start.match(QString::fromUtf8(body.left(256))).hasMatch();
}

// body without a leading UTF-8 byte-order mark and one trailing line end.
QByteArray Trimmed(QByteArray body)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    if (body.endsWith("\r\n"))
        body.chop(2);
    else if (body.endsWith('\n'))
        body.chop(1);
    return body;
}

} // namespace

KeyFileCheck JudgeKeyFile(const HttpReply &reply, const QString &keyFileAddress, const QString &key)
{
    KeyFileCheck check;
    const QString put = QStringLiteral("Put a text file named %1 at the root of the site, holding "
                                       "just the key %2, so that %3 serves it.")
                            .arg(KeyFileName(key), key, keyFileAddress);
    const auto verdict = [&check](KeyFileCheck::Outcome outcome, const QString &text) {
        check.outcome = outcome;
        check.text = text;
        return check;
    };

    // Texts from outside go in with one multi-argument arg(), so that a "%1"
    // in them is never taken for a place holder.
    const QString status = QString::number(reply.status);
    if (reply.certificateError)
        return verdict(KeyFileCheck::Certificate,
                       QStringLiteral("The certificate of %1 could not be verified%2, so the "
                                      "engines cannot fetch the key file from it either. Have "
                                      "the site serve a certificate from a recognised authority "
                                      "that names its host.")
                           .arg(keyFileAddress, reply.error.isEmpty()
                                                    ? QString()
                                                    : QStringLiteral(" (%1)").arg(reply.error)));
    if (!reply.redirectRefused.isEmpty()) {
        const QUrl from(keyFileAddress);
        const bool sameHost =
            reply.redirectRefused.host().compare(from.host(), Qt::CaseInsensitive) == 0 &&
            reply.redirectRefused.port() == from.port();
        return verdict(KeyFileCheck::RedirectElsewhere,
                       (sameHost ? QStringLiteral("%1 redirects (%2) to %3, which is not followed: "
                                                  "one redirect too many, or from https to http.")
                                 : QStringLiteral("%1 redirects (%2) to another host, %3: the "
                                                  "engines take the key file only from the "
                                                  "site's own host."))
                               .arg(keyFileAddress, status, reply.redirectRefused.toString()) +
                           QLatin1Char(' ') + put);
    }
    if (reply.status == 0)
        return verdict(KeyFileCheck::NoAnswer,
                       (reply.timedOut
                            ? QStringLiteral("%1 did not answer in time.").arg(keyFileAddress)
                            : QStringLiteral("%1 could not be fetched: %2.")
                                  .arg(keyFileAddress, reply.error)) +
                           QStringLiteral(" Check the address and the network connection, "
                                          "then check again."));
    if (reply.status == 404 || reply.status == 410)
        return verdict(
            KeyFileCheck::NotFound,
            QStringLiteral("%1 was not found (%2). %3").arg(keyFileAddress, status, put));
    if (reply.status != 200)
        return verdict(KeyFileCheck::OtherStatus,
                       QStringLiteral("%1 answered %2 %3 instead of serving the key file. %4")
                           .arg(keyFileAddress, status, reply.reason.left(kShownBody),
                                reply.status >= 500 ? QStringLiteral("The site's server failed: "
                                                                     "check again later.")
                                                    : put));
    if (reply.tooLarge)
        return verdict(KeyFileCheck::OtherBody,
                       QStringLiteral("%1 serves more than %2 KiB instead of the key. %3")
                           .arg(keyFileAddress, QString::number(kMaxKeyFileBytes / 1024), put));

    const QByteArray body = Trimmed(reply.body);
    if (body == key.toUtf8() && !key.isEmpty()) {
        check.outcome = KeyFileCheck::Passed;
        check.text = QStringLiteral("%1 serves the key.").arg(keyFileAddress);
        if (MediaType(reply.contentType) != QLatin1String("text/plain"))
            check.warning =
                QStringLiteral("It is served as \"%1\"; some engines expect text/plain. Have "
                               "the site serve .txt files as text/plain.")
                    .arg(reply.contentType.isEmpty() ? QStringLiteral("no type")
                                                     : reply.contentType.left(kShownBody));
        return check;
    }
    if (LooksLikeHtml(body, reply.contentType))
        return verdict(KeyFileCheck::HtmlPage,
                       QStringLiteral("%1 serves an HTML page, not the key: usually the site's "
                                      "\"not found\" page, sent with status 200. %2")
                           .arg(keyFileAddress, put));
    return verdict(
        KeyFileCheck::OtherBody,
        (body.isEmpty()
             ? QStringLiteral("%1 is empty instead of holding the key.").arg(keyFileAddress)
             : QStringLiteral("%1 holds %2 instead of the key.")
                   .arg(keyFileAddress, Glimpse(reply.body))) +
            QLatin1Char(' ') + put);
}

quint64 CheckKeyFile(Http &http, const QString &keyFileAddress, const QString &key,
                     std::function<void(const KeyFileCheck &)> done, int timeoutMs)
{
    HttpRequest request;
    request.url = QUrl(keyFileAddress);
    request.timeoutMs = timeoutMs;
    request.maxBytes = kMaxKeyFileBytes;
    request.maxRedirects = 5; // the transport follows them on the same host only
    return http.send(request,
                     [keyFileAddress, key, done = std::move(done)](const HttpReply &reply) {
                         done(JudgeKeyFile(reply, keyFileAddress, key));
                     });
}

} // namespace indexnow
