#include "Networking/SessionFeedbackRequest.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue SessionFeedbackRequest::toJson() const
{
    JsonWriter writer;
    writer.insert(u"session_id", sessionId)
        .insert(u"rating", rating)
        .insert(u"issue_types", issueTypes)
        .insert(u"comment", comment)
        .insert(u"expected_text", expectedText);
    return writer.object();
}

SessionFeedbackRequest SessionFeedbackRequest::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    SessionFeedbackRequest request;
    request.sessionId = reader.requireString(u"session_id");
    request.rating = reader.requireString(u"rating");
    request.issueTypes = reader.requireArray(u"issue_types").strings();
    request.comment = reader.requireString(u"comment");
    request.expectedText = reader.requireString(u"expected_text");
    return request;
}

} // namespace vellamor
