#pragma once

#include <QObject>

#include <functional>

class QThread;

namespace vellamor {

// Runs `fn` on a later turn of the main thread's event loop. Safe from any
// thread; this is how worker threads hand results back.
void postToMainThread(std::function<void()> fn);

// Runs `fn` on a later turn of the event loop that `context` lives in, unless
// `context` is destroyed first.
void postTo(QObject* context, std::function<void()> fn);

// A QObject living in the calling thread that can receive queued calls: the
// application object on the main thread, the thread's event dispatcher elsewhere.
QObject* currentThreadContext();

} // namespace vellamor
