#pragma once

#include "Audio/AudioCapturing.h"
#include "Dictation/ASRSessionConfig.h"
#include "Dictation/ASRStreamEvent.h"
#include "Support/Async/Channel.h"

#include <QCoro/QCoroTask>

namespace vellamor {

// The events of one recognition session. It ends normally after `done` or
// `error` and at cancel(); it ends with the error when the connection fails.
using ASREventStream = Channel<ASRStreamEvent>;

// A speech recogniser: an actor on the main thread that runs one session at
// a time. stop() and cancel() may come at any time, also before stream() or
// after the session ended, and never fail.
class ASRProvider {
public:
    virtual ~ASRProvider() = default;

    // Starts a session and returns its event stream; the recogniser reads
    // `audio` itself. Throws when the connection or the start of the session
    // fails.
    virtual QCoro::Task<ASREventStream> stream(ASRSessionConfig config, AudioFrameStream audio) = 0;

    // The user has finished speaking: stop forwarding audio and let the
    // service finish; the remaining events still arrive on the stream. With
    // no session in progress it does nothing.
    virtual QCoro::Task<void> stop() = 0;

    // Abandons the session: the event stream ends at once without a further
    // event and the connection is released.
    virtual QCoro::Task<void> cancel() = 0;
};

} // namespace vellamor
