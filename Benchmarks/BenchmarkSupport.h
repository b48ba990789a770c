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

} // namespace vellamor::benchmark
