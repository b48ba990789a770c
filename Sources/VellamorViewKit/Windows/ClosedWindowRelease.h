#pragma once

#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class QWidget;

namespace vellamor {

// What of a released window the next one starts from.
struct KeptWindowState {
    // QWidget::saveGeometry(); none before the first release.
    std::optional<QByteArray> frame;
    QString query;
};

// Releases a window that the user closed and did not show again within
// `delay`: its owner drops the window and its view models, and the freed
// memory goes back to the system. An app that sits in the tray all day
// should not keep pages nobody looks at. A hide the window system makes
// (minimising, another workspace) does not count as a close. Main thread.
class ClosedWindowRelease final : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds delay{5000};

    // `release` drops the watched window; it runs on a later turn of the
    // event loop, never inside the window's own event handling.
    ClosedWindowRelease(SleepFunction sleep, std::function<void()> release, QObject* parent = nullptr);
    ~ClosedWindowRelease() override;

    // Follows `window` until it is destroyed; a window already hidden is not
    // counted as closed.
    void watch(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cancel();

    SleepFunction sleep_;
    std::function<void()> release_;
    TaskHandle pending_;
};

} // namespace vellamor
