#include "Support/Json/JsonError.h"

#include "Support/TextEscaping.h"

#include <utility>

namespace vellamor {

JsonError::JsonError(Kind kind, QString path, QString expected, QString found, QString detail)
    : kind_(kind)
    , path_(std::move(path))
    , expected_(std::move(expected))
    , found_(std::move(found))
    , detail_(std::move(detail))
{
}

JsonError JsonError::invalidJson(const QString& detail)
{
    return JsonError(Kind::invalidJson, {}, {}, {}, detail);
}

JsonError JsonError::typeMismatch(const QString& path, const QString& expected, const QString& found)
{
    return JsonError(Kind::typeMismatch, path, expected, found, {});
}

JsonError JsonError::missingKey(const QString& path, const QString& expected)
{
    return JsonError(Kind::missingKey, path, expected, {}, {});
}

JsonError JsonError::notIntegral(const QString& path, const QString& found)
{
    return JsonError(Kind::notIntegral, path, QStringLiteral("integer"), found, {});
}

JsonError JsonError::outOfRange(const QString& path, const QString& found)
{
    return JsonError(Kind::outOfRange, path, QStringLiteral("integer"), found, {});
}

JsonError JsonError::invalidValue(const QString& path, const QString& detail)
{
    return JsonError(Kind::invalidValue, path, {}, {}, detail);
}

QString JsonError::describePath(const QString& path)
{
    return path.isEmpty() ? QStringLiteral("top level") : QLatin1Char('"') + path + QLatin1Char('"');
}

QString JsonError::message() const
{
    const QString where = describePath(path_);
    switch (kind_) {
    case Kind::invalidJson:
        return QStringLiteral("invalid JSON: ") + detail_;
    case Kind::typeMismatch:
        return QStringLiteral("expected ") + expected_ + QStringLiteral(" at ") + where + QStringLiteral(", found ")
            + found_;
    case Kind::missingKey:
        return QStringLiteral("expected ") + expected_ + QStringLiteral(" at ") + where
            + QStringLiteral(", key absent");
    case Kind::notIntegral:
        return QStringLiteral("expected integer at ") + where + QStringLiteral(", found non-integral number ")
            + found_;
    case Kind::outOfRange:
        return QStringLiteral("expected 64-bit integer at ") + where + QStringLiteral(", found out-of-range number ")
            + found_;
    case Kind::invalidValue:
        return QStringLiteral("invalid value at ") + where + QStringLiteral(": ") + detail_;
    }
    return {};
}

QString JsonError::errorDescription() const
{
    return message();
}

QString JsonError::debugDescription() const
{
    QString name;
    switch (kind_) {
    case Kind::invalidJson:
        name = QStringLiteral("invalidJson");
        break;
    case Kind::typeMismatch:
        name = QStringLiteral("typeMismatch");
        break;
    case Kind::missingKey:
        name = QStringLiteral("missingKey");
        break;
    case Kind::notIntegral:
        name = QStringLiteral("notIntegral");
        break;
    case Kind::outOfRange:
        name = QStringLiteral("outOfRange");
        break;
    case Kind::invalidValue:
        name = QStringLiteral("invalidValue");
        break;
    }
    return name + QLatin1Char('(') + debugQuoted(message()) + QLatin1Char(')');
}

} // namespace vellamor
