#pragma once

#include <QJsonValue>
#include <QString>

namespace vellamor {

// The "data" of a successful "text.transform" reply.
struct TextTransformResponse {
    QString transformedText;
    QString mode;
    QString provider;
    qint64 latencyMs = 0;
    QString sessionId;

    // {"transformed_text", "mode", "provider", "latency_ms" (an exact 64-bit
    // integer), "session_id"}, all required and non-null.
    QJsonValue toJson() const;
    static TextTransformResponse fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const TextTransformResponse&, const TextTransformResponse&) = default;
};

} // namespace vellamor
