#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// Why a capture run could not begin. The detail payloads are for the log
// only; the text a user sees for each case is chosen by the dictation
// controller.
class AudioCaptureError final : public Error {
public:
    // Declaration order is the case index shown in errorDescription().
    enum class Kind {
        formatUnsupported, // detail(): why the input cannot be converted
        engineFailed,      // detail(): what the audio engine reported
        permissionDenied,
        deviceUnavailable,
        alreadyRunning,
    };

    static AudioCaptureError formatUnsupported(QString detail);
    static AudioCaptureError engineFailed(QString detail);
    static AudioCaptureError permissionDenied();
    static AudioCaptureError deviceUnavailable();
    static AudioCaptureError alreadyRunning();

    Kind kind() const { return kind_; }
    // The payload of formatUnsupported and engineFailed; empty otherwise.
    const QString& detail() const { return detail_; }
    int caseIndex() const { return static_cast<int>(kind_); }

    // The error has no text of its own; this is the platform's generic
    // wording: "未能完成操作。（AudioCaptureError 错误 N。）".
    QString errorDescription() const override;
    // `engineFailed("detail")`, `permissionDenied`.
    QString debugDescription() const override;

    friend bool operator==(const AudioCaptureError& a, const AudioCaptureError& b)
    {
        return a.kind_ == b.kind_ && a.detail_ == b.detail_;
    }

private:
    AudioCaptureError(Kind kind, QString detail);

    Kind kind_;
    QString detail_;
};

} // namespace vellamor
