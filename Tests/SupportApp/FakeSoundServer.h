#pragma once

#include "Platform/SoundServer/SoundServer.h"
#include "Support/Async/Channel.h"

#include <QByteArray>

#include <memory>
#include <mutex>
#include <optional>

namespace vellamor::test {

// A sound server that answers what the test set and lets the test play the
// capture thread. Records snapshots, opens and closes.
class FakeSoundServer final : public platform::SoundServer {
public:
    FakeSoundServer();

    platform::SoundServerSnapshot snapshot() override;
    QCoro::Task<platform::RecordStreamOpening> openRecordStream(platform::AudioChunkHandler onChunk,
                                                                platform::StreamFailureHandler onFailure) override;

    // A reachable server whose default source is one microphone.
    static platform::SoundServerSnapshot oneMicrophone();

    // Hands bytes to the open stream's handler, on the calling thread (any
    // thread). False when no stream is open.
    bool deliver(const QByteArray& bytes);
    // Breaks the open stream as a server that went away would.
    bool breakStream(const QString& reason);

    // Makes the following opens wait until releaseOpen().
    void holdOpens() { held_ = Channel<bool>(); }
    void releaseOpen();

    platform::SoundServerSnapshot answer;
    // The next open fails with this reason.
    std::optional<QString> refusal;
    double sourceRate = 48000;

    int snapshotCount() const { return snapshotCount_; }
    int openCount() const { return openCount_; }
    int closeCount() const;
    bool isStreamOpen() const;

private:
    struct Shared {
        mutable std::mutex mutex;
        platform::AudioChunkHandler onChunk;
        platform::StreamFailureHandler onFailure;
        bool open = false;
        int closes = 0;
    };
    class Stream;

    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::optional<Channel<bool>> held_;
    int snapshotCount_ = 0;
    int openCount_ = 0;
};

} // namespace vellamor::test
