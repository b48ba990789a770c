#pragma once

#include "Support/Async/TaskHandle.h"

#include <QObject>
#include <QString>

#include <functional>

namespace vellamor {

// Told of every exception that escapes a spawned task: what the task was
// and the exception's description. Called on the thread the task ran on.
using EscapedErrorReporter = std::function<void(const QString& what, const QString& description)>;

// Replaces the process's reporter (none: back to the default, which writes a
// warning through Qt's message handler). The application installs its
// logger at start, before it spawns anything.
void setEscapedErrorReporter(EscapedErrorReporter reporter);

// Fire-and-forget with a guard. `body` starts at once; it is cancelled when
// `context` is destroyed, so it must not touch `context` after a cancelled
// await. An exception that escapes `body` goes to the reporter with `what`
// (a CancellationError is an ordinary end and is not reported).
TaskHandle spawn(QObject* context, const QString& what, TaskHandle::Body body);

} // namespace vellamor
