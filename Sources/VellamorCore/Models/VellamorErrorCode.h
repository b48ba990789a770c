#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace vellamor {

// The backend's result codes that have a meaning of their own. The values are
// sparse: only these eleven integers map to a case (40101, 40002, 42901 and
// 50024 do not), and callers keep any other code as a plain integer.
enum class VellamorErrorCode : qint64 {
    success = 0,
    badRequest = 40001,
    unauthorized = 40100,
    forbidden = 40300,
    actionNotFound = 40401,
    rateLimited = 42900,
    quotaExhausted = 42902,
    internalError = 50000,
    asrUpstream = 50021,    // speech recognition behind the backend
    llmUpstream = 50022,    // language model behind the backend
    mailerUpstream = 50023, // mail service behind the backend
};

// Every case, in declaration order.
inline constexpr std::array<VellamorErrorCode, 11> allVellamorErrorCodes {
    VellamorErrorCode::success,
    VellamorErrorCode::badRequest,
    VellamorErrorCode::unauthorized,
    VellamorErrorCode::forbidden,
    VellamorErrorCode::actionNotFound,
    VellamorErrorCode::rateLimited,
    VellamorErrorCode::quotaExhausted,
    VellamorErrorCode::internalError,
    VellamorErrorCode::asrUpstream,
    VellamorErrorCode::llmUpstream,
    VellamorErrorCode::mailerUpstream,
};

// The case whose value equals `raw`, by plain comparison; none for every other integer.
std::optional<VellamorErrorCode> vellamorErrorCodeFromRawValue(qint64 raw);

constexpr qint64 rawValue(VellamorErrorCode code)
{
    return static_cast<qint64>(code);
}

// True exactly for rateLimited, internalError and the three upstream codes.
// quotaExhausted is final although its neighbour rateLimited is not.
bool isRetryable(VellamorErrorCode code);

// The case name for logs ("rateLimited").
QString caseName(VellamorErrorCode code);

} // namespace vellamor
