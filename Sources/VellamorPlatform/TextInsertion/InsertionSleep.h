#pragma once

#include <QCoro/QCoroTask>

#include <chrono>
#include <functional>

namespace vellamor {

// How the inserters wait between key events and around clipboard and keymap
// changes. Tests pass one that records the waits and returns at once.
using InsertionSleep = std::function<QCoro::Task<void>(std::chrono::milliseconds)>;
// What the inserters read their deadlines from: a steady clock, whose time
// moves with the sleeps' in tests. A deadline counts the calls made
// meanwhile (to the accessibility bus, say), not only the waits.
using InsertionClock = std::function<std::chrono::steady_clock::time_point()>;

// Waits on the calling thread's event loop, which keeps running meanwhile
// (the clipboard is served from it).
InsertionSleep eventLoopSleep();

} // namespace vellamor
