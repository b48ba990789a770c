#pragma once

#include "Logging/VellamorLog.h"
#include "Overlay/IslandShape.h"
#include "Overlay/OverlayTickerClock.h"
#include "Overlay/OverlayViewModel.h"
#include "Overlay/ScreenLayout.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "Support/Async/Published.h"
#include "Support/Async/TaskHandle.h"

#include <QEasingCurve>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPropertyAnimation;
class QWidget;

namespace vellamor {

class IslandOverlayView;
class PinnedResultOverlay;

// Owns the recording overlay's windows: the island at the top centre of the
// screen under the pointer, sized from the model's shape, and the pinned
// result panels below it. Neither ever takes the keyboard focus, so the
// application the user dictates into keeps it, also when a button of the
// overlay is clicked. Window opacity needs a compositor; without one the
// fades only decide when a window goes. Main thread only.
class RecordingOverlayController : public QObject {
    Q_OBJECT

public:
    using InsertText = std::function<void(const QString&)>;

    // The platform's screens and the system clock.
    explicit RecordingOverlayController(std::shared_ptr<platform::Pasteboard> pasteboard, QObject* parent = nullptr);
    RecordingOverlayController(std::shared_ptr<platform::Pasteboard> pasteboard, std::shared_ptr<ScreenLayout> screens,
                               std::shared_ptr<OverlayTickerClock> clock, QObject* parent = nullptr);
    ~RecordingOverlayController() override;

    // The model the island shows; the composition root writes the session into it.
    OverlayViewModel& viewModel() { return viewModel_; }

    // A pinned panel's insert button hands its text here.
    InsertText onInsertText;

    // Shows the island for a new session: a pinned finished result moves to a
    // panel of its own first; hover, pin and warning are cleared and the
    // clocks restart. Any pending hide is dropped.
    void show();
    // Ends the overlay after `delay` (negative counts as none), by the state
    // then: an active session keeps it; a finished one fades once the pointer
    // has stayed off the island for 2 s and nothing is pinned; anything else
    // fades at once. Replaces a pending hide.
    void hideAfter(std::chrono::milliseconds delay);
    // Fades the island out over `fadeDuration`. The model's state and texts
    // stay; pinned panels stay open.
    void hide(std::chrono::milliseconds fadeDuration);
    // Moves a pinned finished result to a panel of its own. show() does this
    // itself; run it also before resetting the model for a hint, which would
    // otherwise drop the result.
    void materializePinnedDoneIfNeeded();
    // Drops a pending hideAfter(); the island stays as it is.
    void cancelHideTask();
    // Names the island an outcome belongs to; the next show() makes it stale.
    using OutcomeTicket = std::uint64_t;

    // The text on the island is being delivered: once finished, the island
    // says so and stays until showOutcome() however long the delivery takes,
    // and only then counts down the hide it was given. show() forgets it.
    OutcomeTicket awaitOutcome();
    // How the text went: left on the clipboard or not. A hide held for it
    // starts now. An island shown since then is not marked by it.
    void showOutcome(OutcomeTicket ticket, bool leftOnClipboard);

    // The island's window, from the first show() on.
    QWidget* panel() const;
    // The open pinned panels, oldest first.
    QList<QWidget*> pinnedPanels() const;

private:
    void placeAtTopCentre(QWidget& window, const QSizeF& size, bool animated);
    void applyShape();
    void subscribeShape();
    void dropSubscriptions();
    void registerScreenChangeObserverIfNeeded();
    void removeScreenChangeObserver();
    void scheduleFirstApply();
    QCoro::Task<void> hideDoneWhenNotHovered(std::stop_token token);
    QCoro::Task<bool> fadeOutDoneUnlessHovered(std::stop_token token);
    void finishHideAfterFade();
    void refreshHover();
    void setOpacity(double opacity);
    void fadeIn(const QEasingCurve& curve);
    void closePinned(PinnedResultOverlay* pinned);
    std::optional<ScreenLayout::Screen> activeScreen() const;
    std::optional<ScreenLayout::Screen> screenHolding(const QRect& frame) const;
    bool isDone() const;

    std::shared_ptr<platform::Pasteboard> pasteboard_;
    std::shared_ptr<ScreenLayout> screens_;
    std::shared_ptr<OverlayTickerClock> clock_;
    OverlayViewModel viewModel_;
    VellamorLog log_;
    // Declared after the model, which the island's view observes until it goes.
    std::unique_ptr<IslandOverlayView> panel_;
    QPropertyAnimation* opacityAnimation_ = nullptr;
    QPropertyAnimation* geometryAnimation_ = nullptr;
    std::vector<QPointer<PinnedResultOverlay>> pinnedPanels_;
    std::vector<Subscription> subscriptions_;
    bool lastPinned_ = false;
    IslandShape lastAppliedShape_ = IslandShape::hidden();
    QSizeF lastAppliedSize_ = IslandShape::hidden().panelSize();
    std::optional<TaskHandle> hideTask_;
    // The delay of a finished island's hide that waits for the outcome.
    std::optional<std::chrono::milliseconds> hideAfterOutcome_;
    QMetaObject::Connection screenChangeObserver_;
    QMetaObject::Connection fadeOutEnd_;
    // Counts show() calls, so the end of an older fade-out, or an older
    // island's outcome, leaves a newer island alone.
    std::uint64_t showGeneration_ = 0;
};

} // namespace vellamor
