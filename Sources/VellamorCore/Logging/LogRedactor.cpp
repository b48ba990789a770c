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
        const Source table[] = {
            {uR"(eyJ[A-Za-z0-9_\-]+\.[A-Za-z0-9_\-]+\.[A-Za-z0-9_\-]+)", u"<redacted-jwt>", "eyj"},
            {uR"(AIza[0-9A-Za-z_\-]{20,})", u"<redacted-key>", "aiza"},
            {uR"(vellamor://([^ ?]+)\?[^\s,)\]]*)", uR"(vellamor://\1?<redacted>)", "vellamor://"},
            {uR"((key|api_key|apikey|token|code)=[^& ]+)", uR"(\1=<redacted>)", "="},
            {uR"((password|passwd|secret|client_secret|refresh_token)=[^& ]+)", uR"(\1=<redacted>)", "="},
            {uR"((password|passwd|secret|client_secret|refresh_token|token|code|api_key|apikey|key)%3D[^& ]+)",
             uR"(\1%3D<redacted>)", "%3d"},
            // The scheme word is consumed with its credential so that neither
            // an opaque bearer token nor a Basic credential survives.
            {uR"(authorization:\s*(?:(?:bearer|basic|token)\s+)?\S+)", u"authorization: <redacted>", "authorization:"},
            {uR"(x-(admin-token|api-key|vellamor-[a-z0-9\-]+):\s*\S+)", uR"(x-\1: <redacted>)", "x-"},
            {uR"(preview="[^"]*")", u"preview=<redacted>", "preview=\""},
            {uR"(preview=[^ ,]+)", u"preview=<redacted>", "preview="},
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

} // namespace

QString LogRedactor::redact(const QString& text)
{
    QString result = text;
    QString lowered = asciiLowered(result);
    for (const Rule& rule : rules()) {
        if (!lowered.contains(rule.requiredText))
            continue;
        result.replace(rule.regex, rule.replacement);
        lowered = asciiLowered(result);
    }
    return result;
}

LogRedactor::BulkResult LogRedactor::redactBulk(const QStringList& lines)
{
    BulkResult result;
    result.out.reserve(lines.size());
    for (const QString& line : lines) {
        QString redacted = redact(line);
        if (redacted != line)
            ++result.changed;
        result.out.push_back(std::move(redacted));
    }
    return result;
}

} // namespace vellamor
