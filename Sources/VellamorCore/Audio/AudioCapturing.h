#pragma once

#include "Audio/AudioFrame.h"
#include "Support/Async/Channel.h"

#include <QCoro/QCoroTask>

namespace vellamor {

// The frames of one capture run, in capture order; one consumer (the recogniser).
using AudioFrameStream = Channel<AudioFrame>;

// A microphone capture, implemented by the platform. Every implementation is
// an actor living on the main thread.
class AudioCapturing {
public:
    virtual ~AudioCapturing() = default;

    // Begins one run. Throws (usually an AudioCaptureError) when the run
    // cannot begin; then no stream exists. Each frame holds 640 bytes, its
    // level from calculateRMS() and a sequence number counting from 0.
    virtual QCoro::Task<AudioFrameStream> start() = 0;

    // Ends the current run and finishes its stream. Never fails; a call with
    // no run active, or a second call in a row, does nothing.
    virtual QCoro::Task<void> stop() = 0;
};

} // namespace vellamor
