#pragma once

#include "Networking/HTTPHeaders.h"

#include <QUrl>

#include <optional>
#include <utility>

namespace vellamor {

// The response half of what an HTTPSession returns. It is normally an HTTP
// response, but a session may also answer for a URL that is not HTTP (a
// file, a data URL); then there is no status code, and callers must check.
struct HTTPResponse {
    QUrl url;
    std::optional<int> statusCode;
    HTTPHeaders headers;

    bool isHTTP() const { return statusCode.has_value(); }

    static HTTPResponse http(QUrl url, int statusCode, HTTPHeaders headers = {})
    {
        return HTTPResponse{std::move(url), statusCode, std::move(headers)};
    }

    friend bool operator==(const HTTPResponse&, const HTTPResponse&) = default;
};

} // namespace vellamor
