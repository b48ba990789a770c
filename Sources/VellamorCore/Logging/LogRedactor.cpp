#include "Logging/LogRedactor.h"

#include <QtGlobal>

#include <vector>

namespace vellamor {

namespace {

struct Rule {
    QRegularExpression regex;
    QString replacement;
    // Lower-case ASCII text that every match contains in some letter case.
    // Where it is absent the rule cannot match, so most lines skip most
    // rules. It must not contain k or s: the regex engine also accepts their
    // non-ASCII case variants (the Kelvin sign, the long s).
    QLatin1String requiredText;
};

const std::vector<Rule>& rules()
{
    // Order matters: the JWT rule must run before the authorization rule, the
    // deep-link rule before the parameter rules, the quoted preview before
    // the unquoted one.
    static const std::vector<Rule> compiled = [] {
        struct Source {
            const char16_t* pattern;
            const char16_t* replacement;
            const char* requiredText;
        };
        // A name merely ending in a listed one counts, except the hotkey's
        // own "hotkey=". A value ends at a blank or a line break (\s); blanks after a
        // header's colon are horizontal only (\h), and an authorization
        // value, whatever its scheme, runs to the end of its line (\v ends it).
        // A private header's name ends the value before it, so that an empty
        // value cannot take the next header's name for its own.
        const Source table[] = {
            {uR"(eyJ[A-Za-z0-9_\-]+\.[A-Za-z0-9_\-]+\.[A-Za-z0-9_\-]+)", u"<redacted-jwt>", "eyj"},
            {uR"(AIza[0-9A-Za-z_\-]{20,})", u"<redacted-key>", "aiza"},
            {uR"(vellamor://([^\s?]+)\?[^\s,)\]]*)", uR"(vellamor://\1?<redacted>)", "vellamor://"},
            {uR"(((?<!hot)key|api_key|apikey|token|code)=[^&\s]+)", uR"(\1=<redacted>)", "="},
            {uR"((password|passwd|secret|client_secret|refresh_token)=[^&\s]+)", uR"(\1=<redacted>)", "="},
            {uR"((password|passwd|secret|client_secret|refresh_token|token|code|api_key|apikey|(?<!hot)key)%3D[^&\s]+)",
             uR"(\1%3D<redacted>)", "%3d"},
            {uR"(authorization:\h*\S[^\v]*)", u"authorization: <redacted>", "authorization:"},
            {uR"(x-(admin-token|api-key|vellamor-[a-z0-9\-]+):\h*(?:(?!x-(?:admin-token|api-key|vellamor-[a-z0-9\-]+):)\S)+)",
             uR"(x-\1: <redacted>)", "x-"},
            // Up to the closing quote, or the end of the line without one.
            {uR"(preview="[^"\v]*"?)", u"preview=<redacted>", "preview=\""},
            {uR"(preview=[^\s,]+)", u"preview=<redacted>", "preview="},
        };
        std::vector<Rule> result;
        result.reserve(std::size(table));
        for (const Source& source : table)
            result.push_back({LogRedactor::compileRule(QString::fromUtf16(source.pattern)),
                              QString::fromUtf16(source.replacement), QLatin1String(source.requiredText)});
        return result;
    }();
    return compiled;
}

} // namespace

QRegularExpression LogRedactor::compileRule(const QString& pattern)
{
    // Unicode-aware \s, so that an ideographic space ends a value just as an
    // ASCII blank does.
    QRegularExpression regex(pattern,
                             QRegularExpression::CaseInsensitiveOption
                                 | QRegularExpression::UseUnicodePropertiesOption);
    if (!regex.isValid()) {
        const QString message = QStringLiteral("LogRedactor 正则编译失败: ") + pattern;
        qFatal("%s", message.toUtf8().constData());
    }
    regex.optimize();
    return regex;
}

namespace {

// Lower-cases ASCII letters only: enough to look for the rules' ASCII
// required texts, and much cheaper than a full case-insensitive search.
QString asciiLowered(const QString& text)
{
    QString lowered = text;
    for (QChar& c : lowered) {
        const char16_t unit = c.unicode();
        if (unit >= u'A' && unit <= u'Z')
            c = QChar(unit + (u'a' - u'A'));
    }
    return lowered;
}

// Lone surrogates become U+FFFD; a well-formed text comes back as it is.
QString wellFormed(const QString& text)
{
    if (text.isValidUtf16())
        return text;
    QString out = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate())
            ++i;
        else if (out[i].isSurrogate())
            out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

// Replaces every match of `rule` in `text`; returns how many replacements
// changed what they matched (letter case aside).
int replaceAll(QString& text, const Rule& rule)
{
    QRegularExpressionMatchIterator matches = rule.regex.globalMatch(text);
    if (!matches.hasNext())
        return 0;
    static const QString captureMark = QStringLiteral("\\1");
    const bool expands = rule.replacement.contains(captureMark);
    QString out;
    out.reserve(text.size());
    qsizetype copied = 0;
    int replaced = 0;
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        QString replacement = rule.replacement;
        if (expands)
            replacement.replace(captureMark, match.captured(1));
        if (QStringView(replacement).compare(match.capturedView(), Qt::CaseInsensitive) != 0)
            ++replaced;
        out += QStringView(text).mid(copied, match.capturedStart() - copied);
        out += replacement;
        copied = match.capturedEnd();
    }
    out += QStringView(text).mid(copied);
    text = std::move(out);
    return replaced;
}

} // namespace

QString LogRedactor::redact(const QString& text)
{
    return redactCounting(text).text;
}

LogRedactor::Redaction LogRedactor::redactCounting(const QString& text)
{
    Redaction result{wellFormed(text), 0};
    QString lowered = asciiLowered(result.text);
    for (const Rule& rule : rules()) {
        if (!lowered.contains(rule.requiredText))
            continue;
        if (const int replaced = replaceAll(result.text, rule)) {
            result.replaced += replaced;
            lowered = asciiLowered(result.text);
        }
    }
    return result;
}

LogRedactor::BulkResult LogRedactor::redactBulk(const QStringList& lines)
{
    BulkResult result;
    result.out.reserve(lines.size());
    for (const QString& line : lines) {
        Redaction redacted = redactCounting(line);
        if (redacted.text != line)
            ++result.changed;
        result.replaced += redacted.replaced;
        result.out.push_back(std::move(redacted.text));
    }
    return result;
}

} // namespace vellamor
