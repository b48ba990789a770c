#pragma once

#include "Platform/InputMonitoring/InputMonitoringProbe.h"

namespace vellamor::test {

// Answers what the test set and counts the questions.
class FakeInputMonitoringProbe final : public platform::InputMonitoringProbe {
public:
    explicit FakeInputMonitoringProbe(platform::InputMonitoringSupport answer) : answer(answer) {}

    platform::InputMonitoringSupport probe() const override
    {
        ++calls;
        return answer;
    }

    platform::InputMonitoringSupport answer;
    mutable int calls = 0;
};

} // namespace vellamor::test
