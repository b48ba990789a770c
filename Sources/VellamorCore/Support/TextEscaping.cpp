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

constexpr char32_t kZeroWidthNonJoiner = 0x200C;
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

// Format characters that show: the signs written before the digits they
// span (Arabic number, year and page signs, the end of an ayah, Syriac
// abbreviation, Kaithi number signs).
bool isPrependedMark(char32_t c)
{
    return (c >= 0x0600 && c <= 0x0605) || c == 0x06DD || c == 0x070F || c == 0x0890 || c == 0x0891
        || c == 0x08E2 || c == 0x110BD || c == 0x110CD;
}

// Scripts whose words need the joiners: the cursive ones, where a non-joiner
// keeps two letters of one word apart (Persian), and those with a virama,
// where a joiner picks a conjunct's form (a Malayalam chillu, a Devanagari
// eyelash ra, a Sinhala yansaya).
bool usesJoiners(QChar::Script script)
{
    switch (script) {
    case QChar::Script_Arabic:
    case QChar::Script_Syriac:
    case QChar::Script_Nko:
    case QChar::Script_Mongolian:
    case QChar::Script_PhagsPa:
    case QChar::Script_Mandaic:
    case QChar::Script_Manichaean:
    case QChar::Script_PsalterPahlavi:
    case QChar::Script_Adlam:
    case QChar::Script_HanifiRohingya:
    case QChar::Script_Sogdian:
    case QChar::Script_OldUyghur:
    case QChar::Script_Devanagari:
    case QChar::Script_Bengali:
    case QChar::Script_Gurmukhi:
    case QChar::Script_Gujarati:
    case QChar::Script_Oriya:
    case QChar::Script_Tamil:
    case QChar::Script_Telugu:
    case QChar::Script_Kannada:
    case QChar::Script_Malayalam:
    case QChar::Script_Sinhala:
    case QChar::Script_Tibetan:
    case QChar::Script_Myanmar:
    case QChar::Script_Khmer:
    case QChar::Script_Balinese:
    case QChar::Script_Javanese:
    case QChar::Script_Sundanese:
    case QChar::Script_TaiTham:
    case QChar::Script_Limbu:
    case QChar::Script_Chakma:
    case QChar::Script_Grantha:
        return true;
    default:
        return false;
    }
}

bool isLetterOrMark(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return (category >= QChar::Mark_NonSpacing && category <= QChar::Mark_Enclosing)
        || (category >= QChar::Letter_Uppercase && category <= QChar::Letter_Other);
}

// The script of a letter or mark; a mark shared between scripts takes its
// letter's.
QChar::Script scriptAfter(char32_t c, QChar::Script before)
{
    if (!isLetterOrMark(c))
        return QChar::Script_Unknown;
    const QChar::Script script = QChar::script(c);
    return script == QChar::Script_Inherited ? before : script;
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
    // The last character shown ends a pictograph, with what extends it, and
    // maybe a flag's tags already.
    bool inEmoji = false;
    bool tagged = false;
    // The script of the last character shown when it is a letter or mark,
    // and whether it is a virama.
    QChar::Script script = QChar::Script_Unknown;
    bool afterVirama = false;
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
            script = QChar::Script_Unknown;
            ++i;
            continue;
        }
        qsizetype end = i + length;
        if (QChar::category(point) == QChar::Other_Format && !isPrependedMark(point)) {
            // Invisible, so a name could pass for another. Kept are what
            // belongs to a word or an emoji: a joiner or non-joiner between
            // two letters of a script that uses them (a joiner after a virama
            // may end the word), a joiner between two pictographs, and the
            // tags of a flag (🏴 + tags + cancel tag), once.
            bool keep = false;
            const bool joiner = point == kZeroWidthJoiner || point == kZeroWidthNonJoiner;
            const auto [next, nextLength] = end < text.size() ? codePointAt(text, end) : std::pair<char32_t, int> {};
            if (joiner && usesJoiners(script)) {
                keep = (point == kZeroWidthJoiner && afterVirama)
                    || (nextLength > 0 && scriptAfter(next, QChar::Script_Unknown) == script);
            } else if (point == kZeroWidthJoiner && inEmoji) {
                keep = nextLength > 0 && isPictograph(next);
            } else if (isTagSpec(point)) {
                while (end < text.size() && isTagSpec(codePointAt(text, end).first))
                    end += 2;
                const bool cancelled = end < text.size() && codePointAt(text, end).first == kCancelTag;
                if (cancelled)
                    end += 2;
                keep = inEmoji && !tagged && cancelled;
            }
            if (keep)
                out += QStringView(text).sliced(i, end - i);
            // Only the flag's tags may still be followed by a joiner.
            inEmoji = keep && !joiner;
            tagged = inEmoji;
            script = QChar::Script_Unknown;
            i = end;
            continue;
        }
        out += QStringView(text).sliced(i, length);
        tagged = tagged && extendsPictograph(point);
        inEmoji = isPictograph(point) || (inEmoji && extendsPictograph(point));
        script = scriptAfter(point, script);
        afterVirama = QChar::combiningClass(point) == 9;
        i = end;
    }
    return out;
}

} // namespace vellamor
