#include "Support/TextEscaping.h"

namespace vellamor {

namespace {

void appendEscaped(QString& out, QChar c)
{
    switch (c.unicode()) {
    case u'\\':
        out += QStringLiteral("\\\\");
        break;
    case u'\n':
        out += QStringLiteral("\\n");
        break;
    case u'\r':
        out += QStringLiteral("\\r");
        break;
    case u'\t':
        out += QStringLiteral("\\t");
        break;
    default:
        out += QStringLiteral("\\u{%1}").arg(c.unicode(), 0, 16);
    }
}

bool isLineBreak(QChar c)
{
    const char16_t unit = c.unicode();
    return (unit >= u'\n' && unit <= u'\r') || unit == 0x0085 || unit == 0x2028 || unit == 0x2029;
}

} // namespace

bool unsafeInLogLine(QChar c)
{
    switch (c.unicode()) {
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
    case 0x061C: // Arabic letter mark
    case 0x200E: // left-to-right mark
    case 0x200F: // right-to-left mark
        return true;
    default:
        return c.category() == QChar::Other_Control || (c.unicode() >= 0x202A && c.unicode() <= 0x202E)
            || (c.unicode() >= 0x2066 && c.unicode() <= 0x2069);
    }
}

QString debugQuoted(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == u'"')
            out += QStringLiteral("\\\"");
        else if (c == u'\\' || c.unicode() < 0x20)
            appendEscaped(out, c);
        else
            out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString escapedForLogLine(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\' || unsafeInLogLine(c))
            appendEscaped(out, c);
        else
            out += c;
    }
    return out;
}

QString oneLineForDisplay(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!unsafeInLogLine(c))
            out += c;
        else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue; // the LF shows the pair
        else if (isLineBreak(c))
            out += u'↵';
        else if (c == u'\t')
            out += u' ';
        else if (c.category() == QChar::Other_Control)
            out += QChar(QChar::ReplacementCharacter);
    }
    return out;
}

} // namespace vellamor
