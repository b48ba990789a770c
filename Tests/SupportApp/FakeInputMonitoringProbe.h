#pragma once

#include "Platform/InputMonitoring/InputMonitoringProbe.h"

namespace vellamor::test {

// Answers what the test set.
class FakeInputMonitoringProbe final : public platform::InputMonitoringProbe {
public:
    explicit FakeInputMonitoringProbe(platform::InputMonitoringSupport answer) : answer(answer) {}

    platform::InputMonitoringSupport probe() const override { return answer; }

    platform::InputMonitoringSupport answer;
};

} // namespace vellamor::test
