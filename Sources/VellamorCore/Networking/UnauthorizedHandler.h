#pragma once

#include "Models/AuthAPIError.h"

#include <QCoro/QCoroTask>
#include <QString>

namespace vellamor {

// Where a backend client reports that the server no longer accepts its
// token, with the reason AuthUnauthorizedReason gives for the reply and the
// access token the refused request carried; the client awaits the report
// before throwing its own error. In the application this is the
// authentication session's handleUnauthorized, which signs the user out
// unless the token has been replaced since the request left: a late refusal
// of the previous session's token must not end the next one.
class UnauthorizedHandler {
public:
    virtual ~UnauthorizedHandler() = default;
    virtual QCoro::Task<void> handleUnauthorized(AuthAPIError reason, QString refusedAccessToken) = 0;
};

} // namespace vellamor
