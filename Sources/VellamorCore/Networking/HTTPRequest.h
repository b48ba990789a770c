#pragma once

#include "Networking/HTTPHeaders.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

namespace vellamor {

// One HTTP request as a value: what a client hands to its HTTPSession.
struct HTTPRequest {
    QUrl url;
    QString method = QStringLiteral("GET");
    HTTPHeaders headers;
    QByteArray body;
    // The longest the request may wait for the next piece of its answer. None
    // leaves it to the session; a session may also bound the whole request.
    std::optional<std::chrono::milliseconds> timeout;

    friend bool operator==(const HTTPRequest&, const HTTPRequest&) = default;
};

} // namespace vellamor
