#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace vellamor {

// The client's frame that ends the audio of a session: {"type":"stop"}.
struct WSClientStop {
    const QString& type() const { return type_; }

    QJsonObject toJson() const;
    QByteArray encode() const;
    // Throws VellamorTransportError::encodingFailed when the bytes are not UTF-8.
    QString encodeText() const;

private:
    QString type_ = QStringLiteral("stop");
};

} // namespace vellamor
