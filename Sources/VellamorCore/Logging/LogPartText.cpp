#include "Logging/LogPartText.h"

#include "Support/TextEscaping.h"

#include <QByteArray>

namespace vellamor {

namespace {

QString escaped(const QString& part)
{
    qsizetype first = 0;
    while (first < part.size() && !unsafeInLogLine(part[first]))
        ++first;
    if (first == part.size())
        return part;
    QString out = part.left(first);
    for (qsizetype i = first; i < part.size(); ++i) {
        const QChar c = part[i];
        if (!unsafeInLogLine(c)) {
            out += c;
            continue;
        }
        switch (c.unicode()) {
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
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}

} // namespace

QString LogPartText::clean(const QString& part)
{
    return cut(escaped(part), maxBytes);
}

QString LogPartText::cut(const QString& text, qsizetype limit)
{
    // Every UTF-16 unit takes at least one byte, so a short text needs no count.
    if (text.size() <= limit / 3)
        return text;
    const QByteArray utf8 = text.toUtf8();
    if (utf8.size() <= limit)
        return text;
    qsizetype cut = limit;
    // Back to the first byte of a character.
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return QString::fromUtf8(utf8.left(cut)) + QStringLiteral("…[%1 bytes left out]").arg(utf8.size() - cut);
}

} // namespace vellamor
