#include "Models/VellamorErrorCode.h"

namespace vellamor {

std::optional<VellamorErrorCode> vellamorErrorCodeFromRawValue(qint64 raw)
{
    for (const VellamorErrorCode code : allVellamorErrorCodes) {
        if (rawValue(code) == raw)
            return code;
    }
    return std::nullopt;
}

bool isRetryable(VellamorErrorCode code)
{
    switch (code) {
    case VellamorErrorCode::rateLimited:
    case VellamorErrorCode::internalError:
    case VellamorErrorCode::asrUpstream:
    case VellamorErrorCode::llmUpstream:
    case VellamorErrorCode::mailerUpstream:
        return true;
    case VellamorErrorCode::success:
    case VellamorErrorCode::badRequest:
    case VellamorErrorCode::unauthorized:
    case VellamorErrorCode::forbidden:
    case VellamorErrorCode::actionNotFound:
    case VellamorErrorCode::quotaExhausted:
        return false;
    }
    return false;
}

QString caseName(VellamorErrorCode code)
{
    switch (code) {
    case VellamorErrorCode::success:
        return QStringLiteral("success");
    case VellamorErrorCode::badRequest:
        return QStringLiteral("badRequest");
    case VellamorErrorCode::unauthorized:
        return QStringLiteral("unauthorized");
    case VellamorErrorCode::forbidden:
        return QStringLiteral("forbidden");
    case VellamorErrorCode::actionNotFound:
        return QStringLiteral("actionNotFound");
    case VellamorErrorCode::rateLimited:
        return QStringLiteral("rateLimited");
    case VellamorErrorCode::quotaExhausted:
        return QStringLiteral("quotaExhausted");
    case VellamorErrorCode::internalError:
        return QStringLiteral("internalError");
    case VellamorErrorCode::asrUpstream:
        return QStringLiteral("asrUpstream");
    case VellamorErrorCode::llmUpstream:
        return QStringLiteral("llmUpstream");
    case VellamorErrorCode::mailerUpstream:
        return QStringLiteral("mailerUpstream");
    }
    return QString::number(rawValue(code));
}

} // namespace vellamor
