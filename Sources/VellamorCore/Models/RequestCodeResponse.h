#pragma once

#include <QString>

namespace vellamor {

// The answer to a request for a unified sign-in code.
struct RequestCodeResponse {
    QString purpose; // passed on as the server sent it
    qint64 expiresInSeconds = 0;

    // True exactly for "register" (case-sensitive).
    bool isRegister() const { return purpose == u"register"; }

    friend bool operator==(const RequestCodeResponse&, const RequestCodeResponse&) = default;
};

} // namespace vellamor
