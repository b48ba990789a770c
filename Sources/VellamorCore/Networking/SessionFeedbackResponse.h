#pragma once

#include <QJsonValue>
#include <QString>

namespace vellamor {

// The server's acknowledgement of a feedback; "ok": false is a normal answer.
struct SessionFeedbackResponse {
    bool ok = false;

    // {"ok": Boolean}, required.
    QJsonValue toJson() const;
    static SessionFeedbackResponse fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const SessionFeedbackResponse&, const SessionFeedbackResponse&) = default;
};

} // namespace vellamor
