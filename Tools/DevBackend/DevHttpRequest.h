#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QUrlQuery>

#include <optional>
#include <utility>

namespace vellamor::devbackend {

// One parsed HTTP/1.1 request as the devserver received it.
struct DevHttpRequest {
    QString method;
    QString target; // as on the request line, e.g. "/v1/api.json?x=1"
    QString path;   // the target's path, percent-decoded
    QUrlQuery query;
    QString version; // "HTTP/1.1"
    QList<std::pair<QByteArray, QByteArray>> headers; // in arrival order, names as sent
    QByteArray body;
    QHostAddress peer;

    // The first field with this name, compared without regard to case.
    std::optional<QByteArray> header(QByteArrayView name) const
    {
        for (const auto& [key, value] : headers) {
            if (key.compare(name, Qt::CaseInsensitive) == 0)
                return value;
        }
        return std::nullopt;
    }
};

} // namespace vellamor::devbackend
