#include "Networking/SessionFeedbackResponse.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"

#include <QJsonObject>

namespace vellamor {

QJsonValue SessionFeedbackResponse::toJson() const
{
    return QJsonObject{{QStringLiteral("ok"), ok}};
}

SessionFeedbackResponse SessionFeedbackResponse::fromJson(const QJsonValue& value, const QString& path)
{
    return SessionFeedbackResponse{JsonReader(json::readObject(value, path), path).requireBool(u"ok")};
}

} // namespace vellamor
