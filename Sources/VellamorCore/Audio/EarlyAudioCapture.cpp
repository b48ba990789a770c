#include "Audio/EarlyAudioCapture.h"

#include "Support/Async/Spawn.h"

#include <utility>

namespace vellamor {

EarlyAudioCapture::EarlyAudioCapture(std::shared_ptr<AudioCapturing> inner, QObject* parent)
    : QObject(parent)
    , inner_(std::move(inner))
{
}

EarlyAudioCapture::~EarlyAudioCapture() = default;

TaskHandle EarlyAudioCapture::chain(const QString& what, std::function<QCoro::Task<void>()> step)
{
    last_ = spawn(this, what, [previous = last_, step = std::move(step)](std::stop_token) -> QCoro::Task<void> {
        try {
            co_await previous.join();
        } catch (...) {
        }
        co_await step();
    });
    return last_;
}

void EarlyAudioCapture::chainInnerStop(const QString& what)
{
    chain(what, [inner = inner_]() -> QCoro::Task<void> { co_await inner->stop(); });
}

void EarlyAudioCapture::open()
{
    if (phase_ != Phase::closed)
        return;
    phase_ = Phase::opened;
    auto run = std::make_shared<Run>();
    run_ = run;
    chain(QStringLiteral("early capture open"), [inner = inner_, run]() -> QCoro::Task<void> {
        try {
            run->stream = co_await inner->start();
        } catch (...) {
            run->error = std::current_exception();
        }
    });
}

void EarlyAudioCapture::discard()
{
    if (phase_ != Phase::opened)
        return;
    phase_ = Phase::closed;
    run_.reset();
    chainInnerStop(QStringLiteral("early capture discard"));
}

void EarlyAudioCapture::seal()
{
    if (phase_ != Phase::opened)
        return;
    // Stopping the inner run finishes its stream; the frames already in it stay.
    chainInnerStop(QStringLiteral("early capture seal"));
}

QCoro::Task<AudioFrameStream> EarlyAudioCapture::start()
{
    const std::shared_ptr<AudioCapturing> inner = inner_;
    if (phase_ == Phase::opened) {
        phase_ = Phase::claimed;
        const std::shared_ptr<Run> run = run_;
        const TaskHandle opening = last_;
        co_await opening.join();
        if (run->error)
            std::rethrow_exception(run->error);
        co_return *run->stream;
    }
    if (phase_ == Phase::claimed)
        co_return co_await inner->start();
    phase_ = Phase::claimed;
    // A discarded run may still be closing.
    const TaskHandle closing = last_;
    co_await closing.join();
    co_return co_await inner->start();
}

QCoro::Task<void> EarlyAudioCapture::stop()
{
    phase_ = Phase::closed;
    run_.reset();
    chainInnerStop(QStringLiteral("capture stop"));
    const TaskHandle stopping = last_;
    co_await stopping.join();
}

} // namespace vellamor
