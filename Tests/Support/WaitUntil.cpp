#include "WaitUntil.h"

#include <QEventLoop>
#include <QTimer>

namespace vellamor::test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(std::chrono::milliseconds(1));
    deadline.start(timeout);
    loop.exec();
    return condition();
}

void runEventLoopFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace vellamor::test
