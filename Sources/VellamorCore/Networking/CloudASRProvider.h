#pragma once

#include "Dictation/ASRProvider.h"
#include "Logging/VellamorLog.h"
#include "Networking/WebSocketTransport.h"
#include "Support/Async/TaskHandle.h"

#include <QObject>

#include <memory>
#include <optional>
#include <stop_token>

namespace vellamor {

// The recogniser of normal operation: speaks the ASR WebSocket protocol over
// a WebSocketTransport. Per session it connects, sends the start frame, then
// runs a pump (service frames to events) and an audio task (one binary
// message per captured frame, each send awaited before the next frame is
// taken). After "done" it leaves the socket open and sets no time limit of
// its own.
//
// Calls that arrive while stream() is still connecting or sending the start
// frame:
// - stop() is held: the frames captured before it go out after the start
//   frame, then the stop frame.
// A stop() takes nothing more from the capture, but what the capture had
// gathered before it is still sent ahead of the stop frame.
// - cancel() makes stream() close the transport once its wait ends and throw
//   CancellationError, so no session is left running on a new socket.
class CloudASRProvider final : public QObject, public ASRProvider {
public:
    // Logs to subsystem "com.vellamor.app", category "asr-cloud".
    explicit CloudASRProvider(std::shared_ptr<WebSocketTransport> transport, QObject* parent = nullptr);
    CloudASRProvider(std::shared_ptr<WebSocketTransport> transport, VellamorLog log, QObject* parent = nullptr);
    // Cancels the pump and the audio task.
    ~CloudASRProvider() override;

    // Throws the transport's error when the connection or the start frame
    // fails (the socket is then left for the next connect or cancel()), and
    // VellamorTransportError::encodingFailed when the start frame is not UTF-8.
    QCoro::Task<ASREventStream> stream(ASRSessionConfig config, AudioFrameStream audio) override;
    // Once per session: sends the frames already captured, stops the audio
    // and sends {"type":"stop"}; a failed
    // send is logged. Neither ends the event stream nor closes the transport.
    QCoro::Task<void> stop() override;
    // Ends the event stream normally at once, stops both tasks and closes the
    // transport (code 1001). No stop frame, no log line.
    QCoro::Task<void> cancel() override;

    const std::optional<ASRSessionConfig>& config() const { return config_; }

private:
    struct Session;

    QCoro::Task<void> abandonIfCancelled(std::shared_ptr<Session> session);
    QCoro::Task<void> sendStopFrame();
    QCoro::Task<void> sendCapturedThenStop(std::shared_ptr<Session> session);

    static QCoro::Task<void> pump(VellamorLog log, WSIncomingStream incoming, ASREventStream events,
                                  std::stop_token token);
    static QCoro::Task<void> sendAudio(AudioFrameStream audio, std::shared_ptr<WebSocketTransport> transport,
                                       VellamorLog log, std::stop_token token);

    std::shared_ptr<WebSocketTransport> transport_;
    VellamorLog log_;
    std::optional<ASRSessionConfig> config_;
    std::optional<ASREventStream> eventContinuation_;
    TaskHandle pumpTask_;
    TaskHandle audioTask_;
    std::shared_ptr<Session> session_;
};

} // namespace vellamor
