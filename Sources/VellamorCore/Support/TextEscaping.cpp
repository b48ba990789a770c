#include "Support/TextEscaping.h"

namespace vellamor {

namespace {

bool breaksLogLine(QChar c)
{
    return c.category() == QChar::Other_Control || c.unicode() == 0x2028 || c.unicode() == 0x2029;
}

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

} // namespace

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
        if (c == u'\\' || breaksLogLine(c))
            appendEscaped(out, c);
        else
            out += c;
    }
    return out;
}

} // namespace vellamor
