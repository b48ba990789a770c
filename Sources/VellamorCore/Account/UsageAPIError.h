#pragma once

#include "Networking/BusinessOrTransportError.h"

namespace vellamor {

enum class UsageAPIErrorKind {
    business,
    quotaExhausted,
    transport,
    decodingFailed,
    missingToken,
    unauthorized,
    encodingFailed
};

// The failures of the usage-and-plan and wallet clients, each with a fixed
// Chinese user text.
class UsageAPIError final : public BusinessOrTransportError<UsageAPIError, UsageAPIErrorKind> {
public:
    // "当前额度已用完：" + message
    static UsageAPIError quotaExhausted(QString message)
    {
        return UsageAPIError(Kind::quotaExhausted, 0, std::move(message));
    }

    QString errorDescription() const override;
    QString debugDescription() const override;

private:
    friend class BusinessOrTransportError<UsageAPIError, UsageAPIErrorKind>;
    using BusinessOrTransportError::BusinessOrTransportError;
};

} // namespace vellamor
