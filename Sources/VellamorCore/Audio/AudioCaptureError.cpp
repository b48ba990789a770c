#include "Audio/AudioCaptureError.h"

#include "Support/TextEscaping.h"

#include <utility>

namespace vellamor {

AudioCaptureError::AudioCaptureError(Kind kind, QString detail)
    : kind_(kind)
    , detail_(std::move(detail))
{
}

AudioCaptureError AudioCaptureError::formatUnsupported(QString detail)
{
    return AudioCaptureError(Kind::formatUnsupported, std::move(detail));
}

AudioCaptureError AudioCaptureError::engineFailed(QString detail)
{
    return AudioCaptureError(Kind::engineFailed, std::move(detail));
}

AudioCaptureError AudioCaptureError::permissionDenied()
{
    return AudioCaptureError(Kind::permissionDenied, {});
}

AudioCaptureError AudioCaptureError::deviceUnavailable()
{
    return AudioCaptureError(Kind::deviceUnavailable, {});
}

AudioCaptureError AudioCaptureError::alreadyRunning()
{
    return AudioCaptureError(Kind::alreadyRunning, {});
}

QString AudioCaptureError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（AudioCaptureError 错误 ") + QString::number(caseIndex())
        + QStringLiteral("。）");
}

QString AudioCaptureError::debugDescription() const
{
    switch (kind_) {
    case Kind::formatUnsupported:
        return QStringLiteral("formatUnsupported(") + debugQuoted(detail_) + QLatin1Char(')');
    case Kind::engineFailed:
        return QStringLiteral("engineFailed(") + debugQuoted(detail_) + QLatin1Char(')');
    case Kind::permissionDenied:
        return QStringLiteral("permissionDenied");
    case Kind::deviceUnavailable:
        return QStringLiteral("deviceUnavailable");
    case Kind::alreadyRunning:
        return QStringLiteral("alreadyRunning");
    }
    return {};
}

} // namespace vellamor
