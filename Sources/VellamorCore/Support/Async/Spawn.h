#pragma once

#include "Logging/VellamorLog.h"
#include "Support/Async/TaskHandle.h"

#include <QObject>
#include <QString>

namespace vellamor {

// Fire-and-forget with a guard. `body` starts at once; it is cancelled when
// `context` is destroyed, so it must not touch `context` after a cancelled
// await. An exception that escapes `body` is written to `log` as an error
// naming `what` (a CancellationError is an ordinary end and is not logged).
TaskHandle spawn(QObject* context, const VellamorLog& log, const QString& what, TaskHandle::Body body);

} // namespace vellamor
