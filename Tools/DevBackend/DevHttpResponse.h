#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <utility>

namespace vellamor::devbackend {

// One answer to write. Content-Length is always added when serialised.
struct DevHttpResponse {
    int status = 200;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;

    static DevHttpResponse json(int status, const QJsonObject& object);
    static DevHttpResponse text(int status, const QByteArray& text);
    static DevHttpResponse html(int status, const QString& page);

    void setHeader(const QByteArray& name, const QByteArray& value);
    bool hasHeader(const QByteArray& name) const;
    // Status line and header block, ending with the blank line.
    QByteArray head(bool keepAlive) const;

    static QByteArray reasonPhrase(int status);
};

} // namespace vellamor::devbackend
