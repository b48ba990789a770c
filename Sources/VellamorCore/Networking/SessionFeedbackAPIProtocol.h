#pragma once

#include "Networking/SessionFeedbackRequest.h"
#include "Networking/SessionFeedbackResponse.h"

#include <QCoro/QCoroTask>

#include <stop_token>

namespace vellamor {

class SessionFeedbackAPIProtocol {
public:
    virtual ~SessionFeedbackAPIProtocol() = default;
    virtual QCoro::Task<SessionFeedbackResponse> submitFeedback(SessionFeedbackRequest request,
                                                                std::stop_token stop) = 0;
};

} // namespace vellamor
