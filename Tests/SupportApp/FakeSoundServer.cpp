#include "FakeSoundServer.h"

namespace vellamor::test {

class FakeSoundServer::Stream final : public platform::RecordStream {
public:
    Stream(std::shared_ptr<Shared> shared, double rate)
        : shared_(std::move(shared))
        , rate_(rate)
    {
    }

    ~Stream() override
    {
        std::lock_guard lock(shared_->mutex);
        shared_->open = false;
        shared_->onChunk = nullptr;
        shared_->onFailure = nullptr;
        ++shared_->closes;
    }

    double sourceSampleRate() const override { return rate_; }

private:
    std::shared_ptr<Shared> shared_;
    double rate_;
};

FakeSoundServer::FakeSoundServer()
    : answer(oneMicrophone())
{
}

platform::SoundServerSnapshot FakeSoundServer::oneMicrophone()
{
    platform::SoundServerSnapshot snapshot;
    snapshot.reachable = true;
    snapshot.defaultSourceName = QStringLiteral("mic");
    snapshot.sources = {
        platform::SoundSource {1, QStringLiteral("out.monitor"), QStringLiteral("Monitor of Speakers"), true, 2, 48000},
        platform::SoundSource {2, QStringLiteral("mic"), QStringLiteral("Microphone"), false, 1, 48000},
    };
    return snapshot;
}

platform::SoundServerSnapshot FakeSoundServer::snapshot()
{
    ++snapshotCount_;
    return answer;
}

QCoro::Task<platform::RecordStreamOpening> FakeSoundServer::openRecordStream(platform::AudioChunkHandler onChunk,
                                                                             platform::StreamFailureHandler onFailure)
{
    ++openCount_;
    if (held_) {
        const Channel<bool> gate = *held_;
        co_await gate.next();
    }
    if (refusal) {
        const QString reason = *std::exchange(refusal, std::nullopt);
        co_return platform::RecordStreamOpening {nullptr, reason};
    }
    {
        std::lock_guard lock(shared_->mutex);
        shared_->onChunk = std::move(onChunk);
        shared_->onFailure = std::move(onFailure);
        shared_->open = true;
    }
    co_return platform::RecordStreamOpening {std::make_unique<Stream>(shared_, sourceRate), QString()};
}

bool FakeSoundServer::deliver(const QByteArray& bytes)
{
    std::lock_guard lock(shared_->mutex);
    if (!shared_->open)
        return false;
    shared_->onChunk(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return true;
}

bool FakeSoundServer::breakStream(const QString& reason)
{
    std::lock_guard lock(shared_->mutex);
    if (!shared_->open)
        return false;
    shared_->onFailure(reason);
    return true;
}

void FakeSoundServer::releaseOpen()
{
    if (held_) {
        held_->push(true);
        held_.reset();
    }
}

int FakeSoundServer::closeCount() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->closes;
}

bool FakeSoundServer::isStreamOpen() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->open;
}

} // namespace vellamor::test
