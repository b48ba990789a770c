#pragma once

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>
#include <stop_token>

namespace vellamor {

// Waits for `duration` on the calling thread's event loop. Returns false when
// a stop was requested on `token` before the time was up (at once if it
// already was); a cut-short sleep is not an error unless the caller says so.
QCoro::Task<bool> sleepFor(std::chrono::milliseconds duration, std::stop_token token = {});

// A sleep with sleepFor's contract that a test can replace with virtual time.
using SleepFunction = std::function<QCoro::Task<bool>(std::chrono::milliseconds, std::stop_token)>;

} // namespace vellamor
