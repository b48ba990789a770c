#pragma once

#include "Networking/TransformContext.h"

#include <QJsonValue>
#include <QString>

namespace vellamor {

// The payload of "text.transform". Strings are sent as given, "" included.
struct TextTransformRequest {
    QString mode;
    QString sourceText;
    QString instruction;
    TransformContext context;
    QString sessionId;

    // {"mode", "source_text", "instruction", "context": {…}, "session_id"}, all required.
    QJsonValue toJson() const;
    static TextTransformRequest fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const TextTransformRequest&, const TextTransformRequest&) = default;
};

} // namespace vellamor
