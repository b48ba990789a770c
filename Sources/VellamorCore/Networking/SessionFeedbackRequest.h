#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace vellamor {

// The payload of "session.feedback": the user's judgement of one dictation.
// The rating is text, not a number; every value passes through unchecked.
struct SessionFeedbackRequest {
    QString sessionId;
    QString rating;
    QStringList issueTypes;
    QString comment;
    QString expectedText;

    // {"session_id", "rating", "issue_types": [...] (possibly empty),
    // "comment", "expected_text"}, all required.
    QJsonValue toJson() const;
    static SessionFeedbackRequest fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const SessionFeedbackRequest&, const SessionFeedbackRequest&) = default;
};

} // namespace vellamor
