#include "Networking/AuthUnauthorizedReason.h"

namespace vellamor {

AuthAPIError AuthUnauthorizedReason::from(qint64 code)
{
    switch (code) {
    case 40100:
        return AuthAPIError::unauthorized();
    case 40101:
        return AuthAPIError::tokenExpired();
    case 40102:
        return AuthAPIError::tokenRevoked();
    default:
        return AuthAPIError::tokenInvalid();
    }
}

} // namespace vellamor
