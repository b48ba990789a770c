#include "Support/Async/Sleep.h"

#include "Support/Async/Resumption.h"

#include <QTimer>

namespace vellamor {

QCoro::Task<bool> sleepFor(std::chrono::milliseconds duration, std::stop_token token)
{
    if (token.stop_requested())
        co_return false;

    QTimer timer;
    timer.setSingleShot(true);
    // Coarse timers may fire up to 5 % early or late; short sleeps pace
    // heartbeats and overlay ticks, where that drift shows.
    timer.setTimerType(duration < std::chrono::seconds(2) ? Qt::PreciseTimer : Qt::CoarseTimer);

    auto resumption = detail::Resumption::make();
    const auto reason = co_await resumption->suspend(std::move(token), [&timer, duration](auto waker) {
        QObject::connect(&timer, &QTimer::timeout, [waker] { waker->fire(detail::Resumption::Reason::Signalled); });
        timer.start(duration);
    });
    co_return reason == detail::Resumption::Reason::Signalled;
}

} // namespace vellamor
