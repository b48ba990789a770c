#pragma once

#include "Platform/SoundServer/SoundServer.h"

#include <chrono>
#include <memory>

namespace vellamor::platform {

// The sound server through libpulse (PulseAudio, or PipeWire's pulse
// service). Every call opens a connection of its own, so an instance keeps
// no state and may be used from any thread.
class PulseSoundServer final : public SoundServer {
public:
    explicit PulseSoundServer(std::chrono::milliseconds timeout = std::chrono::seconds(3));

    SoundServerSnapshot snapshot() override;
    QCoro::Task<RecordStreamOpening> openRecordStream(AudioChunkHandler onChunk,
                                                       StreamFailureHandler onFailure) override;

private:
    std::chrono::milliseconds timeout_;
};

// The sound server of this session.
std::shared_ptr<SoundServer> systemSoundServer();

} // namespace vellamor::platform
