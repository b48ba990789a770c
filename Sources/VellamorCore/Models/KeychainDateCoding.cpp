#include "Models/KeychainDateCoding.h"

#include "Support/Json/JsonError.h"
#include "Support/Json/JsonValue.h"

#include <QRegularExpression>

namespace vellamor {

QJsonValue encodeKeychainDate(Date date)
{
    return date.toIso8601();
}

Date decodeKeychainDate(const QJsonValue& value, const QString& path)
{
    const QString text = json::readString(value, path);
    static const QRegularExpression shape(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}(Z|[+-]\\d{2}:\\d{2})$"));
    if (shape.match(text).hasMatch()) {
        if (const auto date = Date::fromIso8601(text))
            return *date;
    }
    throw JsonError::invalidValue(path, QStringLiteral("not an internet date-time with whole seconds: ") + text);
}

} // namespace vellamor
