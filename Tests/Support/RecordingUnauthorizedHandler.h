#pragma once

#include "Models/AuthAPIError.h"
#include "Networking/UnauthorizedHandler.h"
#include "Support/Async/Sleep.h"

#include <QList>
#include <QStringList>

#include <chrono>

namespace vellamor::test {

// Records each reason and refused token, but only after a short suspension, so a client that
// throws before awaiting the report is caught: its error arrives while
// `reasons` is still empty.
class RecordingUnauthorizedHandler final : public UnauthorizedHandler {
public:
    QCoro::Task<void> handleUnauthorized(AuthAPIError reason, QString refusedAccessToken) override
    {
        ++started;
        co_await sleepFor(std::chrono::milliseconds(5));
        reasons.append(reason);
        refusedTokens.append(refusedAccessToken);
    }

    int started = 0;
    QList<AuthAPIError> reasons;
    QStringList refusedTokens;
};

} // namespace vellamor::test
