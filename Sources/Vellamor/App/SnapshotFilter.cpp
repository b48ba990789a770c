#include "App/SnapshotFilter.h"

namespace vellamor {

SnapshotFilter::Verdict SnapshotFilter::admit(const SessionSnapshot& snapshot)
{
    const DictationState& state = snapshot.state;
    if (state.kind() == DictationState::Kind::idle) {
        active_.reset();
        ignored_.reset();
        return Verdict::apply;
    }
    if (!snapshot.sessionID)
        return Verdict::apply;
    if (state.isActive()) {
        active_ = snapshot.sessionID;
        if (ignored_ != snapshot.sessionID)
            ignored_.reset();
        return Verdict::apply;
    }
    if (ignored_ == snapshot.sessionID)
        return Verdict::staleAfterRetry;
    if (active_ && active_ != snapshot.sessionID)
        return Verdict::staleFromPrevious;
    return Verdict::apply;
}

} // namespace vellamor
