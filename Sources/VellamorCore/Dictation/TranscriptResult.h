#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// A finished transcript. Part of the core's model; the engine itself
// publishes texts through SessionSnapshot instead.
struct TranscriptResult {
    QString rawText;
    std::optional<QString> polishedText;
    qint64 durationMs = 0;
    std::optional<QString> lang;

    friend bool operator==(const TranscriptResult&, const TranscriptResult&) = default;
};

} // namespace vellamor
