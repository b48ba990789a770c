#pragma once

// What the timing programs share.

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace vellamor::benchmark {

// Nearest-rank: 0.5 is the median, 1.0 the largest value; 0 for none.
inline double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// Runs the event loop for `duration`.
inline void pause(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `condition` holds; false once `timeout` passed.
// The event loop keeps running: this process may own the clipboard or serve
// a backend meanwhile.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!condition()) {
        if (elapsed.elapsed() > timeout.count())
            return false;
        pause(std::chrono::milliseconds(2));
    }
    return true;
}

// The longest gap between turns of the main thread's event loop while it runs.
class StallProbe {
public:
    StallProbe()
    {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void start()
    {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        timer_.start();
    }
    double longestMillis()
    {
        timer_.stop();
        return static_cast<double>(std::max(longest_, clock_.nsecsElapsed() - last_)) / 1e6;
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

} // namespace vellamor::benchmark
