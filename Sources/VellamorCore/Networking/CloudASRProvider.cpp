#include "Networking/CloudASRProvider.h"

#include "Networking/WSClientStart.h"
#include "Networking/WSClientStop.h"
#include "Networking/WSServerEvent.h"
#include "Support/Async/SerialWorker.h"
#include "Support/Error.h"

#include <optional>
#include <utility>

namespace vellamor {

namespace {

// A message this long is parsed on a worker: a long final text takes the
// main thread tens of milliseconds per megabyte.
constexpr qsizetype workerDecodeUnits = 64 * 1024;

VellamorLog cloudLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("asr-cloud"));
}

} // namespace

struct CloudASRProvider::Session {
    // stop() or cancel() has run for this session.
    bool stopped = false;
    bool cancelled = false;
    // The start frame's send has completed.
    bool started = false;
    // A stop() came before the start frame was out.
    bool stopHeld = false;
    std::optional<AudioFrameStream> audio;
};

CloudASRProvider::CloudASRProvider(std::shared_ptr<WebSocketTransport> transport, QObject* parent)
    : CloudASRProvider(std::move(transport), cloudLog(), parent)
{
}

CloudASRProvider::CloudASRProvider(std::shared_ptr<WebSocketTransport> transport, VellamorLog log, QObject* parent)
    : QObject(parent)
    , transport_(std::move(transport))
    , log_(std::move(log))
{
}

CloudASRProvider::~CloudASRProvider()
{
    audioTask_.cancel();
    pumpTask_.cancel();
}

QCoro::Task<ASREventStream> CloudASRProvider::stream(ASRSessionConfig config, AudioFrameStream audio)
{
    const auto transport = transport_;
    const auto session = std::make_shared<Session>();
    session->audio = audio;
    session_ = session;
    config_ = config;
    // An earlier session's audio must never reach the new socket, where it
    // would be queued ahead of the start frame.
    audioTask_.cancel();

    const QString host = config.endpoint.host();
    log_.info(QStringLiteral("stream begin host=") + (host.isEmpty() ? QStringLiteral("nil") : host)
                  + QStringLiteral(" lang=") + config.lang + QStringLiteral(" polish=")
                  + (config.polish ? QStringLiteral("true") : QStringLiteral("false")),
              config.endpoint.toString(QUrl::FullyEncoded));

    try {
        co_await transport->connect(config.endpoint, config.bearerToken);
    } catch (...) {
        if (session->cancelled || session_ != session)
            throw CancellationError();
        throw;
    }
    co_await abandonIfCancelled(session);

    const QString startFrame = WSClientStart(config.lang, config.scene, config.style, config.polish,
                                             config.llmProvider)
                                   .encodeText();
    try {
        co_await transport->send(WSMessage::text(startFrame));
    } catch (...) {
        if (session->cancelled || session_ != session)
            throw CancellationError();
        throw;
    }
    co_await abandonIfCancelled(session);
    session->started = true;
    log_.info(QStringLiteral("start frame sent"));

    ASREventStream events;
    eventContinuation_ = events;
    const WSIncomingStream incoming = transport->incoming();
    pumpTask_ = TaskHandle::start([log = log_, incoming, events](std::stop_token token) {
        return pump(log, incoming, events, std::move(token));
    });

    audioTask_ = TaskHandle::start([audio = std::move(audio), transport, log = log_](std::stop_token token) {
        return sendAudio(audio, transport, log, std::move(token));
    });
    if (session->stopHeld) {
        // The user stopped while the session was opening: what was captured
        // until then is sent, then the stop frame.
        co_await sendCapturedThenStop(session);
    }
    co_return events;
}

QCoro::Task<void> CloudASRProvider::abandonIfCancelled(std::shared_ptr<Session> session)
{
    // A cancel() during the wait closed the transport, possibly before this
    // session's socket existed: close again so nothing is left running.
    if (session_ != session)
        throw CancellationError();
    if (session->cancelled) {
        const auto transport = transport_;
        co_await transport->close();
        throw CancellationError();
    }
}

QCoro::Task<void> CloudASRProvider::stop()
{
    const auto session = session_;
    if (!session || session->stopped)
        co_return;
    session->stopped = true;
    // Finishing the stream keeps the frames it holds: what was captured
    // until now is still sent, nothing after.
    if (session->audio)
        session->audio->finish();
    if (!session->started) {
        session->stopHeld = true;
        co_return;
    }
    co_await sendCapturedThenStop(session);
}

QCoro::Task<void> CloudASRProvider::sendCapturedThenStop(std::shared_ptr<Session> session)
{
    const TaskHandle audioTask = audioTask_;
    co_await audioTask.join();
    if (session->cancelled || session_ != session)
        co_return;
    co_await sendStopFrame();
}

QCoro::Task<void> CloudASRProvider::sendStopFrame()
{
    const auto transport = transport_;
    QString frame;
    try {
        frame = WSClientStop().encodeText();
    } catch (...) {
        co_return;
    }
    try {
        co_await transport->send(WSMessage::text(frame));
    } catch (...) {
        log_.warn(QStringLiteral("send stop failed: ") + describeException(std::current_exception()));
    }
}

QCoro::Task<void> CloudASRProvider::cancel()
{
    const auto transport = transport_;
    if (session_) {
        session_->stopped = true;
        session_->cancelled = true;
    }
    audioTask_.cancel();
    pumpTask_.cancel();
    if (eventContinuation_)
        eventContinuation_->finish();
    eventContinuation_.reset();
    co_await transport->close();
}

QCoro::Task<void> CloudASRProvider::pump(VellamorLog log, WSIncomingStream incoming, ASREventStream events,
                                         std::stop_token token)
{
    log.info(QStringLiteral("pump started"));
    for (;;) {
        std::optional<WSMessage> message;
        try {
            message = co_await incoming.next(token);
        } catch (...) {
            const std::exception_ptr error = std::current_exception();
            log.warn(QStringLiteral("pump failed: ") + describeException(error));
            events.finish(error);
            co_return;
        }
        if (!message) {
            log.info(QStringLiteral("pump stream ended"));
            events.finish();
            co_return;
        }
        if (message->isBinary())
            continue;
        std::optional<ASRStreamEvent> event;
        if (message->text().size() < workerDecodeUnits) {
            event = WSServerEvent::decode(message->text());
        } else {
            auto decoding
                = SerialWorker::shared().run([text = message->text()] { return WSServerEvent::decode(text); });
            event = co_await std::move(decoding);
            if (token.stop_requested())
                co_return;
        }
        if (!event) {
            log.warn(QStringLiteral("unknown ws text frame"), message->text());
            continue;
        }
        events.push(*event);
        if (event->kind() == ASRStreamEvent::Kind::error) {
            log.warn(QStringLiteral("pump got error code=") + QString::number(event->code()), event->message());
            events.finish();
            co_return;
        }
        if (event->kind() == ASRStreamEvent::Kind::done) {
            log.info(QStringLiteral("pump got done, finishing"));
            events.finish();
            co_return;
        }
    }
}

QCoro::Task<void> CloudASRProvider::sendAudio(AudioFrameStream audio, std::shared_ptr<WebSocketTransport> transport,
                                              VellamorLog log, std::stop_token token)
{
    for (;;) {
        const std::optional<AudioFrame> frame = co_await audio.next(token);
        if (!frame || token.stop_requested())
            co_return;
        try {
            co_await transport->send(WSMessage::binary(frame->pcm));
        } catch (...) {
            log.warn(QStringLiteral("audio pump failed: ") + describeException(std::current_exception()));
            co_return;
        }
    }
}

} // namespace vellamor
