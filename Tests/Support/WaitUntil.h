#pragma once

#include <chrono>
#include <functional>

namespace vellamor::test {

// Runs the event loop until `condition` holds (checked every millisecond) or
// the time is up; returns whether it held. For tests only.
bool waitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

// Runs the event loop for `duration`, for tests that check nothing happens.
void runEventLoopFor(std::chrono::milliseconds duration);

} // namespace vellamor::test
