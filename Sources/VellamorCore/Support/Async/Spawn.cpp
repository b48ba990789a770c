#include "Support/Async/Spawn.h"

#include "Support/Error.h"

#include <memory>

namespace vellamor {

TaskHandle spawn(QObject* context, const VellamorLog& log, const QString& what, TaskHandle::Body body)
{
    // Dropped when the task ends, so a long-lived context does not collect
    // one connection per task it ever spawned.
    auto onContextGone = std::make_shared<QMetaObject::Connection>();
    auto guarded = [log, what, onContextGone, body = std::move(body)](std::stop_token token) -> QCoro::Task<void> {
        try {
            co_await body(token);
        } catch (const CancellationError&) {
        } catch (...) {
            log.error(QStringLiteral("task failed: ") + what + QStringLiteral(": ")
                      + describeException(std::current_exception()));
        }
        QObject::disconnect(*onContextGone);
    };
    TaskHandle handle = TaskHandle::start(std::move(guarded));
    if (context && !handle.isFinished())
        *onContextGone = QObject::connect(context, &QObject::destroyed, [handle] { handle.cancel(); });
    return handle;
}

} // namespace vellamor
