#pragma once

#include "Dictation/SessionSnapshot.h"

#include <QUuid>

#include <optional>

namespace vellamor {

// Tells which session snapshots still concern the island: a late end of a
// session that was retried, given up or replaced by a newer one is stale.
class SnapshotFilter {
public:
    enum class Verdict { apply, staleAfterRetry, staleFromPrevious };

    // Also remembers the session the snapshot shows.
    Verdict admit(const SessionSnapshot& snapshot);
    // The running session's own end will be stale.
    void abandonActive() { ignored_ = active_; }
    std::optional<QUuid> activeSession() const { return active_; }

private:
    std::optional<QUuid> active_;
    std::optional<QUuid> ignored_;
};

} // namespace vellamor
