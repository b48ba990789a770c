#include "Account/UsageActionCall.h"

#include "Networking/AuthUnauthorizedReason.h"

namespace vellamor {

namespace {

constexpr qint64 quotaExhaustedCode = 42902;

} // namespace

UsageAPIError UsageActionCall::missingToken() const
{
    return UsageAPIError::missingToken();
}

UsageAPIError UsageActionCall::encodingFailed() const
{
    return UsageAPIError::encodingFailed();
}

UsageAPIError UsageActionCall::invalidResponse() const
{
    return failed(QStringLiteral("invalid response"), UsageAPIError::transport(QStringLiteral("invalid response")));
}

UsageAPIError UsageActionCall::unauthorizedStatus() const
{
    return failed(QStringLiteral("HTTP 401 unauthorized"), UsageAPIError::unauthorized());
}

UsageAPIError UsageActionCall::errorStatus(int status) const
{
    const QString detail = QStringLiteral("HTTP ") + QString::number(status);
    return failed(detail, UsageAPIError::transport(detail));
}

UsageAPIError UsageActionCall::failed(const QString& what, UsageAPIError error) const
{
    log.warn(QStringLiteral("fetch ") + action + QStringLiteral(" failed: ") + what);
    return error;
}

QCoro::Task<void> UsageActionCall::judge(UsageActionCall call, BearerReply reply, qint64 code, QString msg,
                                         bool hasData)
{
    if (BearerActionCall::endsSession(code)) {
        const UsageAPIError refusal =
            call.failed(QStringLiteral("auth failure code ") + QString::number(code), UsageAPIError::unauthorized());
        co_await BearerActionCall::report(reply, AuthUnauthorizedReason::from(code));
        throw refusal;
    }
    if (code == quotaExhaustedCode && call.quotaRefusals)
        throw call.failed(QStringLiteral("quota exhausted: ") + msg, UsageAPIError::quotaExhausted(msg));
    if (code != 0) {
        throw call.failed(QStringLiteral("business error ") + QString::number(code) + QStringLiteral(": ") + msg,
                          UsageAPIError::business(code, msg));
    }
    if (!hasData)
        throw call.failed(QStringLiteral("empty data"), UsageAPIError::decodingFailed(QStringLiteral("empty data")));
    call.log.info(QStringLiteral("fetch ") + call.action + QStringLiteral(" success"));
}

} // namespace vellamor
