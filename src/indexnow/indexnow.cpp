#include "indexnow.h"

#include "engines.h"
#include "failure.h"
#include "own_page.h"
#include "record.h"

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

QString BadKeyText()
{
    return QStringLiteral("The stored IndexNow key breaks the key rules (8 to 128 letters, "
                          "digits and hyphens), so nothing was sent. Make a new key with Tools, "
                          "IndexNow Key...");
}

QString SendingPage(const QString &page)
{
    return Page(QStringLiteral("IndexNow: sending"),
                P(QStringLiteral("Submitting %1 &hellip;").arg(Code(page))));
}

QString Meaning(const HttpReply &reply, int timeoutMs)
{
    if (reply.certificateError)
        return QStringLiteral("certificate not verified");
    switch (reply.status) {
    case 200:
        return QStringLiteral("received");
    case 202:
        return QStringLiteral("received, key check pending");
    case 400:
        return QStringLiteral("bad request");
    case 403:
        return QStringLiteral("key not valid");
    case 422:
        return QStringLiteral("address not on the key's host");
    case 429:
        return QStringLiteral("too many requests");
    case 0:
        return reply.timedOut ? QStringLiteral("no answer in %1 seconds").arg(timeoutMs / 1000.0)
                              : QStringLiteral("no answer");
    default:
        return QStringLiteral("unexpected answer %1").arg(reply.status);
    }
}

namespace {

// The advice on reply, a paragraph an item: as HTML for the pane's page, or
// as plain text.
QStringList AdviceParagraphs(const HttpReply &reply, const QString &keyFile, const QString &key,
                             bool html)
{
    const auto code = [html](const QString &text) { return html ? Code(text) : Shown(text); };
    const auto text = [html](const QString &text) { return html ? Html(text) : Shown(text); };
    if (reply.certificateError)
        return {QStringLiteral("The connection to %1 was refused because the site's identity "
                               "could not be checked: its certificate could not be verified "
                               "(%2). Nothing was sent.")
                    .arg(code(reply.url.host()), text(reply.error)),
                QStringLiteral("Check that this computer's date and time are right. A proxy, or "
                               "a security program that intercepts secure connections (some "
                               "antivirus programs and company networks do), causes this too: "
                               "let it pass the connection through unchanged, or ask whoever "
                               "runs it. Then submit again.")};
    switch (reply.status) {
    case 200:
        return {QStringLiteral("The address was received and is passed on to the search engines "
                               "that take part in IndexNow. They will fetch the page in their "
                               "own time; there is nothing more to do.")};
    case 202:
        return {QStringLiteral("The address was received, but the key has not been checked yet. "
                               "Keep the key file %1 on the site: the engines fetch it to check "
                               "the key.")
                    .arg(code(keyFile))};
    case 400:
        return {QStringLiteral("The endpoint did not take the request as valid. Check that the "
                               "Page URL field holds the page's complete address.")};
    case 403:
        return {QStringLiteral("The key file is missing from the site or holds something else. "
                               "Put a text file named %1 at the root of the site, so that it is "
                               "served at %2, holding just the key, in UTF-8:")
                    .arg(code(KeyFileName(key)), code(keyFile)),
                code(key),
                QStringLiteral("Then submit again. Tools, IndexNow Key... shows these details "
                               "and can open the file's address in the pane.")};
    case 422:
        return {QStringLiteral("The page address does not belong to the host the key was checked "
                               "for. Submit only addresses on the host that serves %1, and check "
                               "the address for typing errors.")
                    .arg(code(KeyFileName(key)))};
    case 429:
        return {QStringLiteral("The endpoint is getting too many requests. Wait a while (an hour "
                               "or more) before submitting again.")};
    case 0:
        if (reply.timedOut)
            return {QStringLiteral("The endpoint did not answer in time. It may be busy or out of "
                                   "reach; try again later.")};
        return {QStringLiteral("The request could not be sent or its answer could not be read: "
                               "%1. Check the network connection and try again.")
                    .arg(text(reply.error))};
    default:
        return {QStringLiteral("The endpoint answered with a status that IndexNow does not "
                               "describe. Try again later.")};
    }
}

} // namespace

QString Advice(const HttpReply &reply, const QString &keyFileAddress, const QString &key)
{
    return AdviceParagraphs(reply, keyFileAddress, key, false).join(QLatin1Char('\n'));
}

QString AnswerPage(const HttpReply &reply, const QString &page, const QString &key, int timeoutMs)
{
    QString body = P(QStringLiteral("Page: %1").arg(Code(page)));
    if (reply.status != 0)
        body += P(QStringLiteral("Answer: %1 %2").arg(reply.status).arg(Html(reply.reason)));
    for (const QString &paragraph : AdviceParagraphs(reply, KeyFileAddress(page, key), key, true))
        body += P(paragraph);
    return Page(QStringLiteral("IndexNow: ") + Meaning(reply, timeoutMs), body);
}

quint64 SubmitAddress(Http &http, const QString &endpoint, const QString &page, const QString &key,
                      std::function<void(const HttpReply &)> done, int timeoutMs,
                      std::function<void(const QString &)> recordFailed)
{
    HttpRequest request;
    request.url = QUrl(RequestAddress(endpoint, page, key), QUrl::StrictMode);
    request.timeoutMs = timeoutMs;
    return http.send(request, [=](const HttpReply &reply) {
        RecordEntry entry;
        entry.time = QDateTime::currentDateTimeUtc();
        entry.endpoint = endpoint;
        entry.host = QUrl(page, QUrl::TolerantMode).host();
        entry.count = 1;
        entry.first = page;
        entry.status = reply.status;
        entry.meaning = Meaning(reply, timeoutMs);
        try {
            Record().Append(entry);
        } catch (const Failure &failure) {
            if (recordFailed)
                recordFailed(failure.message());
        }
        done(reply);
    });
}

} // namespace indexnow
