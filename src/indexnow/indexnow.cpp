#include "indexnow.h"

#include "engines.h"
#include "own_page.h"

#include <QRandomGenerator>
#include <QUrl>

namespace indexnow {

namespace ownpage {

namespace {

// Texts from outside (a stored key, a typed address) are shown cut to this
// length.
constexpr int kShownLength = 200;

} // namespace

QString Shown(const QString &text)
{
    return text.size() <= kShownLength ? text : text.left(kShownLength) + QChar(0x2026);
}

QString Html(const QString &text)
{
    return Shown(text).toHtmlEscaped();
}

QString Page(const QString &title, const QString &body)
{
    // A page of the program's own: no scripts, nothing loaded from elsewhere.
    return QStringLiteral("<!doctype html><html><head><meta charset=\"utf-8\">"
                          "<meta http-equiv=\"Content-Security-Policy\" "
                          "content=\"default-src 'none'; style-src 'unsafe-inline'\">"
                          "<title>%1</title><style>body{font-family:sans-serif;font-size:small;"
                          "margin:.5em}h2{font-size:1.3em;margin:.2em 0}p{margin:.4em 0}"
                          "code{word-break:break-all}table{border-collapse:collapse}"
                          "th,td{border:1px solid #999;padding:.1em .3em;text-align:left;"
                          "vertical-align:top}</style></head><body><h2>%1</h2>%2"
                          "</body></html>")
        .arg(title.toHtmlEscaped(), body);
}

QString P(const QString &html)
{
    return QStringLiteral("<p>") + html + QStringLiteral("</p>");
}

QString Code(const QString &text)
{
    return QStringLiteral("<code>") + Html(text) + QStringLiteral("</code>");
}

} // namespace ownpage

using namespace ownpage;

bool IsValidKey(const QString &key)
{
    if (key.size() < 8 || key.size() > 128)
        return false;
    for (const QChar c : key) {
        const char16_t u = c.unicode();
        const bool ok =
            (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-';
        if (!ok)
            return false;
    }
    return true;
}

QString MakeKey()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
}

QString KeyFileName(const QString &key)
{
    return key + QStringLiteral(".txt");
}

QString RefusalFor(const QString &page)
{
    if (page.isEmpty())
        return QStringLiteral("Type the address of the page to submit in the Page URL field "
                              "first.");
    const QUrl url(page, QUrl::TolerantMode);
    const QString scheme = url.scheme();
    if (url.isValid() && !url.isRelative() && !url.host().isEmpty() &&
        (scheme == QLatin1String("http") || scheme == QLatin1String("https")))
        return QString();
    return QStringLiteral("\"%1\" is not a complete web address. Type the page's whole "
                          "address, starting with http:// or https:// and the site's host, "
                          "for example https://example.com/page.html.")
        .arg(Shown(page));
}

QString KeyFileAddress(const QString &page, const QString &key)
{
    if (!RefusalFor(page).isEmpty())
        return QString();
    const QUrl url(page, QUrl::TolerantMode);
    QUrl file;
    file.setScheme(url.scheme());
    file.setHost(url.host());
    file.setPort(url.port());
    file.setPath(QStringLiteral("/") + KeyFileName(key));
    return file.toString();
}

QString RequestAddress(const QString &endpoint, const QString &page, const QString &key)
{
    QString base = endpoint;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QStringLiteral("/indexnow?url=") + EncodeField(page) + QStringLiteral("&key=") +
           EncodeField(key);
}

QString SendingPage(const QString &page)
{
    return Page(QStringLiteral("IndexNow: sending"),
                P(QStringLiteral("Submitting %1 &hellip;").arg(Code(page))));
}

QString AnswerPage(const HttpReply &reply, const QString &page, const QString &key, int timeoutMs)
{
    QString title;
    QString advice;
    const QString keyFile = KeyFileAddress(page, key);
    switch (reply.status) {
    case 200:
        title = QStringLiteral("IndexNow: received");
        advice = P(QStringLiteral("The address was received and is passed on to the search "
                                  "engines that take part in IndexNow. They will fetch the page "
                                  "in their own time; there is nothing more to do."));
        break;
    case 202:
        title = QStringLiteral("IndexNow: received, key check pending");
        advice = P(QStringLiteral("The address was received, but the key has not been checked "
                                  "yet. Keep the key file %1 on the site: the engines fetch it to "
                                  "check the key.")
                       .arg(Code(keyFile)));
        break;
    case 400:
        title = QStringLiteral("IndexNow: bad request");
        advice = P(QStringLiteral("The endpoint did not take the request as valid. Check that the "
                                  "Page URL field holds the page's complete address."));
        break;
    case 403:
        title = QStringLiteral("IndexNow: key not valid");
        advice = P(QStringLiteral("The key file is missing from the site or holds something else. "
                                  "Put a text file named %1 at the root of the site, so that it "
                                  "is served at %2, holding just the key, in UTF-8:")
                       .arg(Code(KeyFileName(key)), Code(keyFile))) +
                 P(Code(key)) +
                 P(QStringLiteral("Then submit again. Tools, IndexNow Key... shows these "
                                  "details and can open the file's address in the pane."));
        break;
    case 422:
        title = QStringLiteral("IndexNow: address not on the key's host");
        advice = P(QStringLiteral("The page address does not belong to the host the key was "
                                  "checked for. Submit only addresses on the host that serves "
                                  "%1, and check the address for typing errors.")
                       .arg(Code(KeyFileName(key))));
        break;
    case 429:
        title = QStringLiteral("IndexNow: too many requests");
        advice = P(QStringLiteral("The endpoint is getting too many requests. Wait a while (an "
                                  "hour or more) before submitting again."));
        break;
    case 0:
        title = reply.timedOut
                    ? QStringLiteral("IndexNow: no answer in %1 seconds").arg(timeoutMs / 1000.0)
                    : QStringLiteral("IndexNow: no answer");
        advice = P(reply.timedOut
                       ? QStringLiteral("The endpoint did not answer in time. It may be busy or "
                                        "out of reach; try again later.")
                       : QStringLiteral("The request could not be sent or its answer could not "
                                        "be read: %1. Check the network connection and try "
                                        "again.")
                             .arg(Html(reply.error)));
        break;
    default:
        title = QStringLiteral("IndexNow: unexpected answer %1").arg(reply.status);
        advice = P(QStringLiteral("The endpoint answered with a status that IndexNow does not "
                                  "describe. Try again later."));
        break;
    }
    QString body = P(QStringLiteral("Page: %1").arg(Code(page)));
    if (reply.status != 0)
        body += P(QStringLiteral("Answer: %1 %2").arg(reply.status).arg(Html(reply.reason)));
    return Page(title, body + advice);
}

} // namespace indexnow
