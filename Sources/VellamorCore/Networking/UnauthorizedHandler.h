#pragma once

#include "Models/AuthAPIError.h"

#include <QCoro/QCoroTask>

namespace vellamor {

// Where a backend client reports that the server no longer accepts its
// token, with the reason AuthUnauthorizedReason gives for the reply; the
// client awaits the report before throwing its own error. In the
// application this is the authentication session's handleUnauthorized,
// which signs the user out.
class UnauthorizedHandler {
public:
    virtual ~UnauthorizedHandler() = default;
    virtual QCoro::Task<void> handleUnauthorized(AuthAPIError reason) = 0;
};

} // namespace vellamor
