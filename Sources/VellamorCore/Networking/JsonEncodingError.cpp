#include "Networking/JsonEncodingError.h"

#include "Support/Json/JsonError.h"

#include <utility>

namespace vellamor {

JsonEncodingError::JsonEncodingError(QString path, QString detail) : path_(std::move(path)), detail_(std::move(detail)) {}

QString JsonEncodingError::errorDescription() const
{
    return QStringLiteral("cannot encode value at ") + JsonError::describePath(path_) + QStringLiteral(": ") + detail_;
}

QString JsonEncodingError::debugDescription() const
{
    return QStringLiteral("invalidValue(\"") + errorDescription() + QStringLiteral("\")");
}

} // namespace vellamor
