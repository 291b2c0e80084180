#pragma once

#include <QList>
#include <QMap>
#include <QString>

// The fixed catalogue of search engines and the add-a-page request address
// each one is sent. No widgets here: the main window's buttons read the three
// site fields and pass their texts in.

// The three site details as typed by the user.
struct SiteDetails
{
    QString url;
    QString name1;
    QString mail;
};

// One piece of an address template: fixed text, or the text of a site field.
struct Piece
{
    enum Kind
    {
        Text,
        Url,
        Name1,
        Mail
    };
    Kind kind;
    const char *text; // for Text only
};

struct Engine
{
    const char *control; // button name on the main window
    const char *caption; // button caption, "&" marking the access key
    const char *name;    // the engine as the caption names it
    const char *hostKey; // key into the host table (Excite and Magellan share one)
    QList<Piece> pieces; // joined after "http://" and the host
};

// The twelve engines, in the order of their button names.
const QList<Engine> &Catalogue();

// The catalogue entry behind a button, or nullptr.
const Engine *EngineForControl(const QString &control);

// Submission host for each host key, and (for tests) an IndexNow endpoint.
// The real hosts are configuration; a test builds the same table pointed at
// a local server.
class HostTable
{
public:
    static HostTable Default();
    // Every engine, and IndexNow, sent to one host (for instance
    // "127.0.0.1:8080") over plain http.
    static HostTable AllAt(const QString &host);

    QString host(const char *hostKey) const;
    void setHost(const QString &hostKey, const QString &host);
    QStringList keys() const { return hosts_.keys(); }

    // Where IndexNow submissions go, in place of the user's choice of
    // endpoint: scheme and host, without a path. Empty (the default): the
    // user's choice.
    QString indexNowEndpoint() const { return indexNowEndpoint_; }
    void setIndexNowEndpoint(const QString &endpoint) { indexNowEndpoint_ = endpoint; }

private:
    QMap<QString, QString> hosts_;
    QString indexNowEndpoint_;
};

// Percent-encodes one field's text as UTF-8. Letters, digits, "-._~" and
// ":/?@!$'()*," stay as they are; everything else ("&", "#", "+", "=", "%",
// space, quotes, non-ASCII, control characters, ...) is encoded, so the text
// reaches the engine as one parameter value, whatever it holds.
QString EncodeField(const QString &text);

// "http://", the engine's host and its template pieces, joined in order; each
// field's text encoded, the fixed pieces exactly as they stand.
QString RequestAddress(const Engine &engine, const SiteDetails &site, const HostTable &hosts);
