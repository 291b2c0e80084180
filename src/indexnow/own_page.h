#pragma once

#include <QString>

// The parts of the program's own pages in the pane (the answer pages, the
// record): no script, nothing loaded from elsewhere, every text from outside
// escaped.
namespace indexnow::ownpage {

// Text from outside (a stored key, a typed address, an answer), cut to 200
// characters.
QString Shown(const QString &text);
// The same, escaped for HTML.
QString Html(const QString &text);
// The whole page: title (escaped here) as its title and heading, then body.
QString Page(const QString &title, const QString &body);
// A paragraph of html.
QString P(const QString &html);
// text as code, escaped.
QString Code(const QString &text);

} // namespace indexnow::ownpage
