#pragma once

#include "Networking/NetworkOrServerError.h"

namespace vellamor {

// The failures of SessionFeedbackAPI.
class SessionFeedbackAPIError final : public NetworkOrServerError<SessionFeedbackAPIError> {
    friend class NetworkOrServerError<SessionFeedbackAPIError>;
    using NetworkOrServerError::NetworkOrServerError;
};

} // namespace vellamor
