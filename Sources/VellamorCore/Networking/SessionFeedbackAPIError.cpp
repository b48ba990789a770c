#include "Networking/SessionFeedbackAPIError.h"

#include "Networking/TextTransformAPIError.h"

#include <utility>

namespace vellamor {

namespace {

// The texts are those of the transform client's cases of the same names.
TextTransformAPIError sameCaseOfTransform(const SessionFeedbackAPIError& error)
{
    if (error.kind() == SessionFeedbackAPIError::Kind::server)
        return TextTransformAPIError::server(error.code(), error.message());
    return TextTransformAPIError::network(error.message());
}

} // namespace

SessionFeedbackAPIError::SessionFeedbackAPIError(Kind kind, qint64 code, QString message)
    : kind_(kind), code_(code), message_(std::move(message))
{
}

SessionFeedbackAPIError SessionFeedbackAPIError::network(QString detail)
{
    return SessionFeedbackAPIError(Kind::network, 0, std::move(detail));
}

SessionFeedbackAPIError SessionFeedbackAPIError::server(qint64 code, QString message)
{
    return SessionFeedbackAPIError(Kind::server, code, std::move(message));
}

QString SessionFeedbackAPIError::errorDescription() const
{
    return sameCaseOfTransform(*this).errorDescription();
}

QString SessionFeedbackAPIError::debugDescription() const
{
    return sameCaseOfTransform(*this).debugDescription();
}

} // namespace vellamor
