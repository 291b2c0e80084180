#include "settings_file.h"

#include <QStringDecoder>

namespace settingsfile {
namespace {

const char kHex[] = "0123456789ABCDEF";

void appendHexEscape(QString &out, char kind, ushort unit, int digits)
{
    out += QLatin1Char('\\');
    out += QLatin1Char(kind);
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += QLatin1Char(kHex[(unit >> shift) & 0xF]);
}

QByteArray escape(const QString &s, bool isName)
{
    QString out;
    out.reserve(s.size() + 16);
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = s.at(i);
        const ushort u = c.unicode();
        switch (u) {
        case '\\':
            out += QLatin1String("\\\\");
            continue;
        case '\n':
            out += QLatin1String("\\n");
            continue;
        case '\r':
            out += QLatin1String("\\r");
            continue;
        case '\t':
            out += QLatin1String("\\t");
            continue;
        case 0:
            out += QLatin1String("\\0");
            continue;
        case ' ':
            if (i == 0 || i == n - 1)
                out += QLatin1String("\\s");
            else
                out += c;
            continue;
        default:
            break;
        }
        if (u < 0x20 || u == 0x7F) {
            appendHexEscape(out, 'x', u, 2);
        } else if (isName &&
                   (u == '=' || u == '[' || u == ']' || u == '/' || u == ';' || u == '#')) {
            appendHexEscape(out, 'x', u, 2);
        } else if (c.isHighSurrogate()) {
            if (i + 1 < n && s.at(i + 1).isLowSurrogate()) {
                out += c;
                out += s.at(++i);
            } else {
                appendHexEscape(out, 'u', u, 4);
            }
        } else if (c.isLowSurrogate()) {
            appendHexEscape(out, 'u', u, 4);
        } else {
            out += c;
        }
    }
    return out.toUtf8();
}

int hexValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

QString trimBlanks(const QString &s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && isBlank(s.at(begin)))
        ++begin;
    while (end > begin && isBlank(s.at(end - 1)))
        --end;
    return s.mid(begin, end - begin);
}

bool decodeUtf8(const QByteArray &bytes, QString *out)
{
    // Stateless, and a byte-order mark inside a line is kept as text: each
    // line stands on its own.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    *out = decoder.decode(bytes);
    return !decoder.hasError();
}

Line sectionLine(const QString &app, const QString &section)
{
    Line line;
    line.kind = Line::Section;
    line.raw = '[' + EscapeName(app) + '/' + EscapeName(section) + ']';
    line.app = FoldName(app);
    line.section = FoldName(section);
    return line;
}

Line entryLine(const QString &app, const QString &section, const QString &key, const QString &value)
{
    Line line;
    line.kind = Line::Entry;
    line.raw = EscapeName(key) + '=' + EscapeValue(value);
    line.app = FoldName(app);
    line.section = FoldName(section);
    line.key = FoldName(key);
    line.value = value;
    return line;
}

} // namespace

QString FoldName(const QString &name)
{
    return name.toCaseFolded();
}

QByteArray EscapeName(const QString &name)
{
    return escape(name, true);
}

QByteArray EscapeValue(const QString &value)
{
    return escape(value, false);
}

bool Unescape(const QString &escaped, QString *out)
{
    out->clear();
    out->reserve(escaped.size());
    const qsizetype n = escaped.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = escaped.at(i);
        if (c != QLatin1Char('\\')) {
            *out += c;
            continue;
        }
        if (++i >= n)
            return false;
        switch (escaped.at(i).unicode()) {
        case '\\':
            *out += QLatin1Char('\\');
            break;
        case 'n':
            *out += QLatin1Char('\n');
            break;
        case 'r':
            *out += QLatin1Char('\r');
            break;
        case 't':
            *out += QLatin1Char('\t');
            break;
        case '0':
            *out += QChar(0);
            break;
        case 's':
            *out += QLatin1Char(' ');
            break;
        case 'x':
        case 'u': {
            const int digits = escaped.at(i) == QLatin1Char('x') ? 2 : 4;
            if (i + digits >= n)
                return false;
            ushort unit = 0;
            for (int d = 1; d <= digits; ++d) {
                const int v = hexValue(escaped.at(i + d));
                if (v < 0)
                    return false;
                unit = ushort(unit * 16 + v);
            }
            *out += QChar(unit);
            i += digits;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

Document Parse(const QByteArray &bytes)
{
    Document doc;
    qsizetype pos = 0;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        pos = 3;

    enum
    {
        NoSection,
        GoodSection,
        BadSection
    } state = NoSection;
    QString app;
    QString section;
    int lineNumber = 0;
    // Blank and comment lines in a row are kept as one, so that a file of
    // nothing but blank lines costs no more than its bytes.
    const auto keepOther = [&doc](const QByteArray &raw) {
        if (!doc.lines.isEmpty() && doc.lines.constLast().kind == Line::Other) {
            QByteArray &last = doc.lines.last().raw;
            last += '\n';
            last += raw;
        } else {
            Line line;
            line.raw = raw;
            doc.lines.append(line);
        }
    };
    // A file saved with Windows line ends (every line ends in return and
    // line feed) is read without the returns, and written back without them.
    // Elsewhere a return is part of the text: a raw one at the end of a
    // value belongs to the value and is kept when other entries are written.
    const qsizetype lineFeeds = bytes.count('\n');
    const bool windowsLineEnds = lineFeeds > 0 && bytes.count("\r\n") == lineFeeds;
    int counted = 0;
    while (pos < bytes.size()) {
        ++lineNumber;
        qsizetype end = bytes.indexOf('\n', pos);
        if (end < 0)
            end = bytes.size();
        if (end == pos || (windowsLineEnds && end == pos + 1 && bytes.at(pos) == '\r')) {
            keepOther(QByteArray());
            pos = end + 1;
            continue;
        }
        if (++counted > kMaxLines) {
            doc.tooManyLines = true;
            return doc;
        }
        QByteArray raw = bytes.mid(pos, end - pos);
        pos = end + 1;
        if (windowsLineEnds && raw.endsWith('\r'))
            raw.chop(1);

        const QString where = QStringLiteral("line %1: ").arg(lineNumber);
        QString text;
        if (!decodeUtf8(raw, &text)) {
            doc.problems << where + QStringLiteral("not UTF-8 text");
            // A heading, even an unreadable one, ends the section above it.
            if (raw.trimmed().startsWith('['))
                state = BadSection;
            continue;
        }
        const QString trimmed = trimBlanks(text);
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) ||
            trimmed.startsWith(QLatin1Char('#'))) {
            keepOther(raw);
            continue;
        }
        Line line;
        line.raw = raw;
        if (trimmed.startsWith(QLatin1Char('['))) {
            state = BadSection;
            const qsizetype slash = trimmed.indexOf(QLatin1Char('/'));
            QString appName;
            QString sectionName;
            if (!trimmed.endsWith(QLatin1Char(']')) || slash < 0 ||
                trimmed.indexOf(QLatin1Char('/'), slash + 1) >= 0) {
                doc.problems << where + QStringLiteral("not a [application/section] heading");
            } else if (!Unescape(trimBlanks(trimmed.mid(1, slash - 1)), &appName) ||
                       !Unescape(trimBlanks(trimmed.mid(slash + 1, trimmed.size() - slash - 2)),
                                 &sectionName)) {
                doc.problems << where + QStringLiteral("a heading with a bad \\ escape");
            } else {
                state = GoodSection;
                app = FoldName(appName);
                section = FoldName(sectionName);
                line.kind = Line::Section;
                line.app = app;
                line.section = section;
                doc.lines.append(line);
            }
            continue;
        }
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        QString key;
        QString value;
        if (eq < 0) {
            doc.problems << where + QStringLiteral("neither an entry nor a heading");
        } else if (state == NoSection) {
            doc.problems << where + QStringLiteral("an entry before any heading");
        } else if (state == BadSection) {
            doc.problems << where + QStringLiteral("an entry under a heading that is not readable");
        } else if (!Unescape(trimBlanks(text.left(eq)), &key) ||
                   !Unescape(text.mid(eq + 1), &value)) {
            doc.problems << where + QStringLiteral("an entry with a bad \\ escape");
        } else {
            line.kind = Line::Entry;
            line.app = app;
            line.section = section;
            line.key = FoldName(key);
            line.value = value;
            doc.lines.append(line);
        }
    }
    return doc;
}

QByteArray Serialize(const Document &doc)
{
    qsizetype size = 0;
    for (const Line &line : doc.lines)
        size += line.raw.size() + 1;
    QByteArray out;
    out.reserve(size);
    for (const Line &line : doc.lines) {
        out += line.raw;
        out += '\n';
    }
    return out;
}

std::optional<QString> Document::Find(const QString &app, const QString &section,
                                      const QString &key) const
{
    const QString a = FoldName(app);
    const QString s = FoldName(section);
    const QString k = FoldName(key);
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const Line &line = lines.at(i);
        if (line.kind == Line::Entry && line.key == k && line.section == s && line.app == a)
            return line.value;
    }
    return std::nullopt;
}

void Document::Set(const QString &app, const QString &section, const QString &key,
                   const QString &value)
{
    const QString a = FoldName(app);
    const QString s = FoldName(section);
    const QString k = FoldName(key);
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        Line &line = lines[i];
        if (line.kind == Line::Entry && line.key == k && line.section == s && line.app == a) {
            line.value = value;
            line.raw = EscapeName(key) + '=' + EscapeValue(value);
            return;
        }
    }

    // No such entry: add it at the end of the last block of its section.
    qsizetype header = -1;
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const Line &line = lines.at(i);
        if (line.kind == Line::Section && line.section == s && line.app == a) {
            header = i;
            break;
        }
    }
    if (header >= 0) {
        qsizetype insertAt = header + 1;
        for (qsizetype i = header + 1; i < lines.size() && lines.at(i).kind != Line::Section; ++i) {
            if (lines.at(i).kind == Line::Entry)
                insertAt = i + 1;
        }
        lines.insert(insertAt, entryLine(app, section, key, value));
        return;
    }

    if (lines.isEmpty()) {
        // A new file starts with a note on how to read it.
        for (const char *note :
             {R"(; Pagecrier settings, UTF-8. Each value is the rest of its line after "=".)",
              R"(; In names and values \\ \n \r \t \0 stand for backslash, line feed,)",
              R"(; return, tab and NUL; \s for a blank at either end; \xHH and \uHHHH for)",
              R"(; other characters.)"}) {
            Line comment;
            comment.raw = note;
            lines.append(comment);
        }
    }
    if (!lines.isEmpty()) {
        const Line &last = lines.constLast();
        if (last.kind != Line::Other ||
            !last.raw.mid(last.raw.lastIndexOf('\n') + 1).trimmed().isEmpty())
            lines.append(Line{});
    }
    lines.append(sectionLine(app, section));
    lines.append(entryLine(app, section, key, value));
}

} // namespace settingsfile
