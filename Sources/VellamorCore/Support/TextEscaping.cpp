#include "Support/TextEscaping.h"

#include <algorithm>
#include <iterator>
#include <utility>

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

constexpr char32_t kZeroWidthJoiner = 0x200D;
constexpr char32_t kCancelTag = 0xE007F;

// The code point at `i` and its length in units; 0 for an unpaired surrogate.
std::pair<char32_t, int> codePointAt(const QString& text, qsizetype i)
{
    const QChar c = text[i];
    if (!c.isSurrogate())
        return { c.unicode(), 1 };
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return { QChar::surrogateToUcs4(c, text[i + 1]), 2 };
    return { 0, 0 };
}

// Where the pictographs of emoji sequences lie: Unicode's
// Extended_Pictographic, its neighbouring ranges merged, so a few symbols
// that never join count too (a joiner after one shows nothing either way).
bool isPictograph(char32_t c)
{
    static constexpr std::pair<char32_t, char32_t> ranges[] = {
        { 0x00A9, 0x00A9 }, { 0x00AE, 0x00AE }, { 0x203C, 0x203C }, { 0x2049, 0x2049 }, { 0x2122, 0x2122 },
        { 0x2139, 0x2139 }, { 0x2194, 0x2199 }, { 0x21A9, 0x21AA }, { 0x231A, 0x231B }, { 0x2328, 0x2328 },
        { 0x2388, 0x2388 }, { 0x23CF, 0x23CF }, { 0x23E9, 0x23F3 }, { 0x23F8, 0x23FA }, { 0x24C2, 0x24C2 },
        { 0x25AA, 0x25AB }, { 0x25B6, 0x25B6 }, { 0x25C0, 0x25C0 }, { 0x25FB, 0x25FE }, { 0x2600, 0x27BF },
        { 0x2934, 0x2935 }, { 0x2B05, 0x2B07 }, { 0x2B1B, 0x2B1C }, { 0x2B50, 0x2B50 }, { 0x2B55, 0x2B55 },
        { 0x3030, 0x3030 }, { 0x303D, 0x303D }, { 0x3297, 0x3297 }, { 0x3299, 0x3299 }, { 0x1F000, 0x1FAFF },
        { 0x1FC00, 0x1FFFD },
    };
    const auto* range = std::upper_bound(std::begin(ranges), std::end(ranges), c,
        [](char32_t point, const std::pair<char32_t, char32_t>& r) { return point < r.first; });
    return range != std::begin(ranges) && c <= std::prev(range)->second;
}

// What may follow a pictograph inside its emoji: variation selectors, skin
// tones and the keycap's enclosing mark.
bool extendsPictograph(char32_t c)
{
    return (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0x1F3FB && c <= 0x1F3FF) || c == 0x20E3;
}

bool isTagSpec(char32_t c)
{
    return c >= 0xE0020 && c <= 0xE007E;
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
    // The last character shown ends a pictograph, with what extends it.
    bool inEmoji = false;
    for (qsizetype i = 0; i < text.size();) {
        const auto [point, length] = codePointAt(text, i);
        if (length == 0) {
            ++i;
            continue;
        }
        const QChar c = text[i];
        if (length == 1 && unsafeInLogLine(c)) {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
                // the LF shows the pair
            } else if (isLineBreak(c)) {
                out += u'↵';
            } else if (c == u'\t') {
                out += u' ';
            } else if (c.category() == QChar::Other_Control) {
                out += QChar(QChar::ReplacementCharacter);
            }
            inEmoji = false;
            ++i;
            continue;
        }
        qsizetype end = i + length;
        if (QChar::category(point) == QChar::Other_Format) {
            // Invisible, so a name could pass for another; only a joiner
            // between two pictographs and the tags of a flag (🏴 + tags + cancel
            // tag) are kept, being part of an emoji.
            bool keep = false;
            if (point == kZeroWidthJoiner && inEmoji && end < text.size()) {
                const auto [next, nextLength] = codePointAt(text, end);
                keep = nextLength > 0 && isPictograph(next);
            } else if (isTagSpec(point)) {
                while (end < text.size() && isTagSpec(codePointAt(text, end).first))
                    end += 2;
                const bool cancelled = end < text.size() && codePointAt(text, end).first == kCancelTag;
                if (cancelled)
                    end += 2;
                keep = inEmoji && cancelled;
            }
            if (keep)
                out += QStringView(text).sliced(i, end - i);
            inEmoji = keep && point != kZeroWidthJoiner;
            i = end;
            continue;
        }
        out += QStringView(text).sliced(i, length);
        inEmoji = isPictograph(point) || (inEmoji && extendsPictograph(point));
        i = end;
    }
    return out;
}

} // namespace vellamor
