#include "Windows/ClosedWindowRelease.h"

#include "Support/Async/Spawn.h"
#include "Windows/FreedMemory.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <utility>

namespace vellamor {

ClosedWindowRelease::ClosedWindowRelease(SleepFunction sleep, std::function<void()> release, QObject* parent)
    : QObject(parent)
    , sleep_(sleep ? std::move(sleep) : &sleepFor)
    , release_(std::move(release))
{
}

ClosedWindowRelease::~ClosedWindowRelease()
{
    cancel();
}

void ClosedWindowRelease::watch(QWidget* window)
{
    cancel();
    window->installEventFilter(this);
}

bool ClosedWindowRelease::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show) {
        cancel();
    } else if (event->type() == QEvent::Hide && !event->spontaneous() && !pending_.isValid()) {
        QPointer<ClosedWindowRelease> self(this);
        const SleepFunction sleep = sleep_;
        pending_ = spawn(this, QStringLiteral("closed window release"),
                         [self, sleep](std::stop_token token) -> QCoro::Task<void> {
                             const bool slept = co_await sleep(delay, token);
                             if (!slept || token.stop_requested() || !self)
                                 co_return;
                             self->pending_ = {};
                             self->release_();
                             returnFreedMemory();
                         });
    }
    return QObject::eventFilter(watched, event);
}

void ClosedWindowRelease::cancel()
{
    std::exchange(pending_, {}).cancel();
}

} // namespace vellamor
