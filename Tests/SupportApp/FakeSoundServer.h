#pragma once

#include "Platform/SoundServer/SoundServer.h"
#include "Support/Async/Channel.h"

#include <QByteArray>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace vellamor::test {

// A sound server that answers what the test set and lets the test play the
// capture thread. Counts the opens.
class FakeSoundServer final : public platform::SoundServer {
public:
    // A copy: QCoro moves from a non-const lvalue given to co_return.
    QCoro::Task<platform::SoundServerSnapshot> snapshot() override
    {
        if (holdsSnapshots_) {
            const Channel<bool> gate;
            heldSnapshots_.push_back(gate);
            co_await gate.next();
        }
        co_return platform::SoundServerSnapshot(answer);
    }

    QCoro::Task<platform::RecordStreamOpening> openRecordStream(std::optional<QString> source,
                                                                platform::AudioChunkHandler onChunk,
                                                                platform::StreamFailureHandler onFailure) override
    {
        ++openCount_;
        openedSources.push_back(std::move(source));
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
        co_return platform::RecordStreamOpening {std::make_unique<Stream>(shared_), QString()};
    }

    void watchSources(std::function<void()> onChange) override { onSourcesChanged_ = std::move(onChange); }

    // The sources change to `next`, as when a device is plugged in or out.
    void changeSources(platform::SoundServerSnapshot next) { answer = std::move(next), onSourcesChanged_(); }

    // A reachable server whose default source is one microphone.
    static platform::SoundServerSnapshot oneMicrophone()
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

    // Hands bytes to the open stream's handler, on the calling thread (any
    // thread). False when no stream is open.
    bool deliver(const QByteArray& bytes)
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->open)
            return false;
        shared_->onChunk(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        return true;
    }

    // Breaks the open stream as a server that went away would.
    bool breakStream(const QString& reason)
    {
        std::lock_guard lock(shared_->mutex);
        if (!shared_->open)
            return false;
        shared_->onFailure(reason);
        return true;
    }

    // Makes the following opens wait until releaseOpen().
    void holdOpens() { held_ = Channel<bool>(); }
    void releaseOpen()
    {
        if (auto gate = std::exchange(held_, std::nullopt))
            gate->push(true);
    }

    // Makes the following snapshots wait until releaseSnapshots(), which
    // answers every one held.
    void holdSnapshots() { holdsSnapshots_ = true; }
    void releaseSnapshots()
    {
        holdsSnapshots_ = false;
        for (const Channel<bool>& gate : std::exchange(heldSnapshots_, {}))
            gate.finish();
    }

    platform::SoundServerSnapshot answer = oneMicrophone();
    // The next open fails with this reason.
    std::optional<QString> refusal;

    int openCount() const { return openCount_; }
    // The source each open asked for, none for the default.
    std::vector<std::optional<QString>> openedSources;
    bool isStreamOpen() const
    {
        std::lock_guard lock(shared_->mutex);
        return shared_->open;
    }

private:
    struct Shared {
        std::mutex mutex;
        platform::AudioChunkHandler onChunk;
        platform::StreamFailureHandler onFailure;
        bool open = false;
    };

    // Closing it stops the deliveries, as destroying a real stream does.
    class Stream final : public platform::RecordStream {
    public:
        explicit Stream(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}
        ~Stream() override
        {
            std::lock_guard lock(shared_->mutex);
            shared_->open = false;
            shared_->onChunk = nullptr;
            shared_->onFailure = nullptr;
        }
        double sourceSampleRate() const override { return 48000; }

    private:
        std::shared_ptr<Shared> shared_;
    };

    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::optional<Channel<bool>> held_;
    bool holdsSnapshots_ = false;
    std::vector<Channel<bool>> heldSnapshots_;
    std::function<void()> onSourcesChanged_;
    int openCount_ = 0;
};

} // namespace vellamor::test
