#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

namespace vellamor {

// The result code and message of a reply, for classifying it before its
// payload is decoded. Both are required, with the envelope's rules; "data"
// is never read, so an unusable payload cannot fail this probe.
struct CodeOnlyEnvelope {
    qint64 code = 0;
    QString msg;

    static CodeOnlyEnvelope fromJson(const QJsonValue& value, const QString& path);
    static CodeOnlyEnvelope decode(const QByteArray& body);
};

} // namespace vellamor
