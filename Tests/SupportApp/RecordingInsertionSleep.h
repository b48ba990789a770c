#pragma once

#include "TextInsertion/InsertionSleep.h"

#include <chrono>
#include <memory>
#include <vector>

namespace vellamor::test {

// Virtual time for the inserters' fakes: it moves only when an inserter waits
// (or a fake spends it on a call).
struct FakeInsertionClock {
    std::chrono::milliseconds now{0};
};

// An InsertionSleep that returns at once, advancing the clock by the wait and
// recording it.
class RecordingInsertionSleep {
public:
    explicit RecordingInsertionSleep(std::shared_ptr<FakeInsertionClock> clock = std::make_shared<FakeInsertionClock>());

    InsertionSleep sleep();
    // The virtual clock as a steady clock's time.
    InsertionClock steadyClock() const;

    const std::shared_ptr<FakeInsertionClock>& clock() const { return clock_; }
    const std::vector<std::chrono::milliseconds>& waits() const { return *waits_; }
    std::chrono::milliseconds total() const;

private:
    std::shared_ptr<FakeInsertionClock> clock_;
    std::shared_ptr<std::vector<std::chrono::milliseconds>> waits_;
};

} // namespace vellamor::test
