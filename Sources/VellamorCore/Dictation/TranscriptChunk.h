#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// A piece of a transcript. Part of the core's model; the engine itself
// publishes texts through SessionSnapshot instead.
struct TranscriptChunk {
    QString text;
    bool isFinal = false;
    std::optional<float> confidence;

    friend bool operator==(const TranscriptChunk&, const TranscriptChunk&) = default;
};

} // namespace vellamor
