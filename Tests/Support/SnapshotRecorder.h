#pragma once

#include "Dictation/SessionSnapshot.h"

#include <QList>

#include <functional>
#include <memory>
#include <vector>

namespace vellamor::test {

// Collects every snapshot an observer receives, in order. observer() hands
// out a callable that stays valid after the recorder is gone.
class SnapshotRecorder {
public:
    std::function<void(const SessionSnapshot&)> observer() const
    {
        return [snapshots = snapshots_](const SessionSnapshot& snapshot) { snapshots->push_back(snapshot); };
    }

    const std::vector<SessionSnapshot>& snapshots() const { return *snapshots_; }
    std::size_t count() const { return snapshots_->size(); }
    const SessionSnapshot& last() const { return snapshots_->back(); }

    // The states received, in order, from the `from`-th snapshot on.
    QList<DictationState> states(std::size_t from = 0) const
    {
        QList<DictationState> states;
        for (std::size_t i = from; i < snapshots_->size(); ++i)
            states.append((*snapshots_)[i].state);
        return states;
    }

private:
    std::shared_ptr<std::vector<SessionSnapshot>> snapshots_ = std::make_shared<std::vector<SessionSnapshot>>();
};

} // namespace vellamor::test
