#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The text form of the settings file, kept apart from the file handling so
// that it can be tested on plain bytes.
//
// Why a format of our own rather than QSettings: QSettings matches names
// case-sensitively on Linux, keeps a cache, and quietly rewrites a file it
// could not fully parse. This format is UTF-8, INI-like and readable:
//
//     ; comment
//     [Pagecrier/favs]
//     url=http://example.com/a page;with=odd#chars
//
// The value is everything after the first "=" up to the end of the line,
// blanks included. In names and values a backslash starts an escape:
//   \\  backslash          \n \r \t \0  line feed, return, tab, NUL
//   \s  blank (written only at either end, so no editor can trim it)
//   \xHH  any other control character (and, in names, = [ ] / ; #)
//   \uHHHH  a UTF-16 unit that is half of a pair with no other half
// so every QString, however odd, comes back unit for unit. Names are matched
// by their case-folded form. A line that does not parse (no "=", a bad
// escape, an entry outside any section, bytes that are not UTF-8) is left out
// and marks the file as damaged; everything else is used.
namespace settingsfile {

struct Line
{
    enum Kind
    {
        Other,
        Section,
        Entry
    };
    Kind kind = Other;
    QByteArray raw; // as it stands in the file, without the line end
    // Section and Entry: the section the line belongs to, case-folded.
    QString app;
    QString section;
    // Entry only.
    QString key; // case-folded
    QString value;
};

struct Document
{
    // Blank and comment lines in a row are one Line, raw holding them all.
    QList<Line> lines;
    // Parse stopped after kMaxLines lines that are not blank: the file is not
    // one this program wrote or anyone edited by hand.
    bool tooManyLines = false;
    // One description per line that did not parse ("line 4: ...").
    QStringList problems;

    bool damaged() const { return !problems.isEmpty(); }
    // The entry's value; the last one wins if a hand-edited file holds it twice.
    std::optional<QString> Find(const QString &app, const QString &section,
                                const QString &key) const;
    // Replaces the entry's value, or adds the entry (and its section).
    void Set(const QString &app, const QString &section, const QString &key, const QString &value);
};

// The most lines that are not blank a settings file may hold (blank lines
// cost next to nothing and are not counted).
constexpr int kMaxLines = 100000;

Document Parse(const QByteArray &bytes);
// The document as file bytes; lines that did not parse are not written.
QByteArray Serialize(const Document &doc);

QByteArray EscapeName(const QString &name);
QByteArray EscapeValue(const QString &value);
// False when the text holds an escape that is not one of the above.
bool Unescape(const QString &escaped, QString *out);

QString FoldName(const QString &name);

} // namespace settingsfile
