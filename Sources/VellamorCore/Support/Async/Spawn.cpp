#include "Support/Async/Spawn.h"

#include "Support/Error.h"

#include <QtGlobal>

#include <memory>
#include <mutex>

namespace vellamor {

namespace {

std::mutex reporterMutex;
EscapedErrorReporter installedReporter;

void report(const QString& what, const QString& description)
{
    EscapedErrorReporter reporter;
    {
        std::lock_guard lock(reporterMutex);
        reporter = installedReporter;
    }
    if (reporter)
        reporter(what, description);
    else
        qWarning("task failed: %s: %s", qUtf8Printable(what), qUtf8Printable(description));
}

} // namespace

void setEscapedErrorReporter(EscapedErrorReporter reporter)
{
    std::lock_guard lock(reporterMutex);
    installedReporter = std::move(reporter);
}

TaskHandle spawn(QObject* context, const QString& what, TaskHandle::Body body)
{
    // Dropped when the task ends, so a long-lived context does not collect
    // one connection per task it ever spawned.
    auto onContextGone = std::make_shared<QMetaObject::Connection>();
    auto guarded = [what, onContextGone, body = std::move(body)](std::stop_token token) -> QCoro::Task<void> {
        try {
            co_await body(token);
        } catch (const CancellationError&) {
        } catch (...) {
            report(what, describeException(std::current_exception()));
        }
        QObject::disconnect(*onContextGone);
    };
    TaskHandle handle = TaskHandle::start(std::move(guarded));
    if (context && !handle.isFinished())
        *onContextGone = QObject::connect(context, &QObject::destroyed, [handle] { handle.cancel(); });
    return handle;
}

} // namespace vellamor
