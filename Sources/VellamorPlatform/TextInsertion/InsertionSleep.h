#pragma once

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>

namespace vellamor {

// How the inserters wait between key events and around clipboard and keymap
// changes. Tests pass one that records the waits and returns at once.
using InsertionSleep = std::function<QCoro::Task<void>(std::chrono::milliseconds)>;

// Waits on the calling thread's event loop, which keeps running meanwhile
// (the clipboard is served from it).
InsertionSleep eventLoopSleep();

// The time the inserters' limits are measured on: a deadline counts the
// calls made meanwhile, not only the waits. Tests pass virtual time.
using InsertionClock = std::function<std::chrono::milliseconds()>;

// Milliseconds of the steady clock.
InsertionClock steadyInsertionClock();

} // namespace vellamor
