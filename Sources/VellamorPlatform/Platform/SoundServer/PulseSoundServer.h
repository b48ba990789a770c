#pragma once

#include "Platform/SoundServer/SoundServer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor::platform {

// The sound server through libpulse (PulseAudio, or PipeWire's pulse
// service). Each question and each record stream gets a connection of its
// own; questions run on a worker thread. One more connection, kept open on a
// thread of its own, listens to the server's changes of sources and of the
// default source: as long as it heard none, the last answer stands.
class PulseSoundServer final : public SoundServer {
public:
    explicit PulseSoundServer(std::chrono::milliseconds timeout = std::chrono::seconds(3));
    ~PulseSoundServer() override;

    QCoro::Task<SoundServerSnapshot> snapshot() override;
    QCoro::Task<RecordStreamOpening> openRecordStream(std::optional<QString> source, AudioChunkHandler onChunk,
                                                       StreamFailureHandler onFailure) override;
    void watchSources(std::function<void()> onChange) override;

    // Whether the change listener is connected (answers may then be reused).
    bool isWatchingChanges() const;

private:
    class ChangeWatch;
    struct Answer {
        SoundServerSnapshot snapshot;
        quint64 generation = 0;
    };
    // Shared with questions in flight, which may outlast the server object.
    struct State {
        std::shared_ptr<ChangeWatch> watch;
        std::optional<Answer> lastAnswer;
        // Main thread; the watch's thread only posts to it.
        std::function<void()> onChange;
        std::atomic<bool> changePosted {false};
    };
    static std::shared_ptr<ChangeWatch> makeWatch(const std::shared_ptr<State>& state);

    std::chrono::milliseconds timeout_;
    std::shared_ptr<State> state_;
};

} // namespace vellamor::platform
