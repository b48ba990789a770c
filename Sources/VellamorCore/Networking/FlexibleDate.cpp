#include "Networking/FlexibleDate.h"

#include "Support/Json/JsonError.h"
#include "Support/Json/JsonValue.h"

#include <QRegularExpression>

#include <array>

namespace vellamor {

namespace {

// Fixed-width field patterns, strict: every digit count is exact.
const QString kDateTime = QStringLiteral("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}");
const QString kZone = QStringLiteral("(?:Z|[+-][0-9]{2}:[0-9]{2})");

struct Pattern {
    QRegularExpression shape;
    bool zoned;
};

const std::array<Pattern, 4>& patterns()
{
    static const std::array<Pattern, 4> list{{
        {QRegularExpression(QStringLiteral("\\A") + kDateTime + kZone + QStringLiteral("\\z")), true},
        {QRegularExpression(QStringLiteral("\\A") + kDateTime + QStringLiteral("\\.[0-9]{3}") + kZone
                            + QStringLiteral("\\z")),
         true},
        {QRegularExpression(QStringLiteral("\\A") + kDateTime + QStringLiteral("\\.[0-9]{6}") + kZone
                            + QStringLiteral("\\z")),
         true},
        {QRegularExpression(QStringLiteral("\\A") + kDateTime + QStringLiteral("\\z")), false},
    }};
    return list;
}

} // namespace

Date decodeFlexibleDate(const QJsonValue& value, const QString& path)
{
    const QString text = json::readString(value, path);

    // The shape decides which form applies; the field values (month 13, hour
    // 24, February 30) are then checked by the shared ISO 8601 reader.
    for (const Pattern& pattern : patterns()) {
        if (!pattern.shape.match(text).hasMatch())
            continue;
        if (auto date = Date::fromIso8601(pattern.zoned ? text : text + QLatin1Char('Z')))
            return *date;
    }
    if (auto date = Date::fromIso8601(text))
        return *date;
    throw JsonError::invalidValue(path, QStringLiteral("unrecognized date: ") + text);
}

} // namespace vellamor
