#pragma once

#include "Models/AuthAPIError.h"

namespace vellamor {

// What a backend client passes to its UnauthorizedHandler when a
// reply says it is not authorised.
struct AuthUnauthorizedReason {
    AuthUnauthorizedReason() = delete;

    // 40100 unauthorized, 40101 tokenExpired, 40102 tokenRevoked, every
    // other code (40103 included) tokenInvalid.
    static AuthAPIError from(qint64 code);
    // An HTTP 401 without a usable result code: tokenInvalid.
    static AuthAPIError http401() { return AuthAPIError::tokenInvalid(); }
};

} // namespace vellamor
