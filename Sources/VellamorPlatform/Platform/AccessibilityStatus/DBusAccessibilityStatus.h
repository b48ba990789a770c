#pragma once

#include "Platform/AccessibilityStatus/AccessibilityStatus.h"

#include <chrono>
#include <memory>

namespace vellamor::platform {

// AT-SPI's switch, the IsEnabled property of org.a11y.Status on the session
// bus (served by the accessibility bus launcher). isEnabled() answers at once
// with what the launcher last said: it is asked again in the background at
// each question, one question at a time, and its change notices are
// followed. A launcher that does not answer in time (stopped, busy) leaves
// the last answer standing; one that is gone leaves none. enable() asks
// without waiting and takes the switch as on until told otherwise.
class DBusAccessibilityStatus final : public AccessibilityStatus {
public:
    explicit DBusAccessibilityStatus(std::chrono::milliseconds timeout = std::chrono::seconds(2));
    ~DBusAccessibilityStatus() override;

    DBusAccessibilityStatus(const DBusAccessibilityStatus&) = delete;
    DBusAccessibilityStatus& operator=(const DBusAccessibilityStatus&) = delete;

    std::optional<bool> isEnabled() const override;
    QCoro::Task<std::optional<bool>> askEnabled() override;
    bool enable() override;

private:
    class Follower;

    std::chrono::milliseconds timeout_;
    std::unique_ptr<Follower> follower_;
};

} // namespace vellamor::platform
