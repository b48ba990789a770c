#pragma once

#include <functional>

namespace vellamor {

// Tells the hotkey monitor to ignore the keys this process injects, from
// begin() until end(). end() is explicit because the caller first lets the
// last injected events reach the monitor; destruction ends a forgotten guard.
class SyntheticInputGuard {
public:
    using Notify = std::function<void(bool ignoring)>;

    explicit SyntheticInputGuard(Notify notify) : notify_(std::move(notify)) {}
    ~SyntheticInputGuard() { end(); }

    SyntheticInputGuard(const SyntheticInputGuard&) = delete;
    SyntheticInputGuard& operator=(const SyntheticInputGuard&) = delete;

    void begin()
    {
        if (active_)
            return;
        active_ = true;
        if (notify_)
            notify_(true);
    }

    void end()
    {
        if (!active_)
            return;
        active_ = false;
        if (notify_)
            notify_(false);
    }

private:
    Notify notify_;
    bool active_ = false;
};

} // namespace vellamor
