#pragma once

#include "Networking/AnyEncodable.h"
#include "Networking/HTTPRequest.h"
#include "Networking/KeyCasing.h"

#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

namespace vellamor {

// The request every client of the remote-procedure endpoint sends: a POST of
// {"action", "data"} to base URL + "v1/api.json" that sends and asks for JSON.
// The payload's keys are converted by `keys`; a bearer token, when given, is
// sent as "Authorization: Bearer <token>" exactly as given (an empty one too:
// callers that must not send it pass none). Status and reply handling stay
// with each client, since each reports failures in its own terms.
struct ActionRequest {
    QString action;
    AnyEncodable data;
    KeyCasing keys = KeyCasing::toSnakeCase;
    std::optional<QString> bearerToken;
    std::chrono::milliseconds timeout{0};

    // Throws the payload's encoding error (a std::exception) before anything
    // is sent; callers map it to their own error.
    HTTPRequest to(const QUrl& baseURL) const;
};

} // namespace vellamor
