#include "Dictation/MockASRProvider.h"

#include "Support/Async/Sleep.h"

#include <utility>

namespace vellamor {

MockASRProvider::MockASRProvider(QString finalText, std::optional<QString> polishText, Timing timing, QObject* parent)
    : QObject(parent)
    , finalText_(finalText)
    , polishText_(polishText ? std::move(*polishText) : std::move(finalText))
    , timing_(timing)
{
}

MockASRProvider::MockASRProvider(QString finalText, std::optional<QString> polishText, QObject* parent)
    : MockASRProvider(std::move(finalText), std::move(polishText), Timing{}, parent)
{
}

bool MockASRProvider::isSelected(const QProcessEnvironment& environment)
{
    return environment.value(QStringLiteral("VELLAMOR_MOCK_ASR")) == QStringLiteral("1");
}

std::shared_ptr<MockASRProvider> MockASRProvider::makeForApplication()
{
    return std::make_shared<MockASRProvider>(QStringLiteral("hello world"), std::nullopt);
}

QCoro::Task<ASREventStream> MockASRProvider::stream(ASRSessionConfig config, AudioFrameStream audio)
{
    Q_UNUSED(config);
    if (eventContinuation_)
        eventContinuation_->finish();
    cancelDrain();
    ASREventStream events;
    eventContinuation_ = events;
    ++streamGeneration_;
    events.push(ASRStreamEvent::ready());
    audioConsumer_ = TaskHandle::start(
        [audio = std::move(audio)](std::stop_token token) { return drain(audio, std::move(token)); });
    co_return events;
}

QCoro::Task<void> MockASRProvider::stop()
{
    return stop(std::stop_token{});
}

QCoro::Task<void> MockASRProvider::stop(std::stop_token callerToken)
{
    if (!eventContinuation_)
        co_return;
    const ASREventStream continuation = *eventContinuation_;
    const std::uint64_t generation = streamGeneration_;
    co_await sleepFor(timing_.beforeFinal, callerToken);
    continuation.push(ASRStreamEvent::final(finalText_));
    co_await sleepFor(timing_.beforePolish, callerToken);
    continuation.push(ASRStreamEvent::polish(polishText_));
    continuation.push(ASRStreamEvent::done());
    continuation.finish();
    // A stream() during the pauses replaced the session: its stream and drain
    // belong to the newer session and must survive.
    if (eventContinuation_ && streamGeneration_ == generation) {
        eventContinuation_.reset();
        cancelDrain();
    }
}

QCoro::Task<void> MockASRProvider::cancel()
{
    if (eventContinuation_)
        eventContinuation_->finish();
    eventContinuation_.reset();
    cancelDrain();
    co_return;
}

void MockASRProvider::cancelDrain()
{
    audioConsumer_.cancel();
    audioConsumer_ = TaskHandle();
}

QCoro::Task<void> MockASRProvider::drain(AudioFrameStream audio, std::stop_token token)
{
    for (;;) {
        const std::optional<AudioFrame> frame = co_await audio.next(token);
        if (!frame || token.stop_requested())
            break;
    }
}

} // namespace vellamor
