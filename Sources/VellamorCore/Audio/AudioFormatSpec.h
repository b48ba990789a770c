#pragma once

#include <QtGlobal>

namespace vellamor {

// The one audio format of the engine, which is also the recogniser's wire
// format: 16 kHz, mono, signed 16-bit little-endian, 20 ms per frame.
struct AudioFormatSpec {
    AudioFormatSpec() = delete;

    static constexpr qint64 sampleRate = 16000;
    static constexpr qint64 channels = 1;
    static constexpr qint64 bytesPerSample = 2;
    static constexpr qint64 frameDurationMs = 20;
    static constexpr qint64 samplesPerFrame = sampleRate * frameDurationMs / 1000;
    static constexpr qint64 bytesPerFrame = samplesPerFrame * bytesPerSample;
};

} // namespace vellamor
