#include "Overlay/RecordingOverlayController.h"

#include "Overlay/IslandOverlayView.h"
#include "Overlay/OverlayPlacement.h"
#include "Overlay/PinnedResultOverlay.h"
#include "Overlay/QtScreenLayout.h"
#include "Platform/X11/OverlayWindowHints.h"
#include "Support/Async/MainThread.h"
#include "Support/Async/Spawn.h"
#include "Windows/FreedMemory.h"

#include <QPropertyAnimation>

#include <algorithm>
#include <utility>

namespace vellamor {

namespace {

using namespace std::chrono_literals;

constexpr std::chrono::milliseconds fadeInDuration{350};
constexpr std::chrono::milliseconds resizeDuration{450};
constexpr std::chrono::milliseconds firstApplyDelay{60};
constexpr std::chrono::milliseconds hoverPollInterval{100};
// 2 s without the pointer over a finished island before it fades.
constexpr int quietPollsBeforeFade = 20;
// The finished island fades in this many steps, one a frame at 60 a second.
constexpr int doneFadeSteps = 180;
constexpr std::chrono::nanoseconds doneFadeFrame{16'666'667};
constexpr std::chrono::milliseconds unpinnedHideDelay{2000};
constexpr std::chrono::milliseconds terminalHideFade{300};

// Starts fast and overshoots before it settles.
QEasingCurve overshootCurve()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.34, 1.56), QPointF(0.64, 1.0), QPointF(1.0, 1.0));
    return curve;
}

// A tool window that stays on top and never takes the focus: the window
// manager neither activates it when it appears nor when it is clicked.
void applyPanelStyle(QWidget& window)
{
    window.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus);
    window.setAttribute(Qt::WA_ShowWithoutActivating);
}

QRect topCentreFrame(const ScreenLayout::Screen& screen, const QSizeF& size)
{
    return OverlayPlacement::topCentre(QRectF(screen.available), size).toRect();
}

// Measured from a fixed deadline, so a late wake-up shortens the next wait
// instead of stretching the whole fade.
QCoro::Task<bool> sleepUntil(OverlayTickerClock& clock, OverlayTickerClock::TimePoint deadline,
                             std::stop_token token)
{
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock.now());
    return clock.sleep(std::max(remaining, std::chrono::milliseconds(0)), std::move(token));
}

} // namespace

RecordingOverlayController::RecordingOverlayController(std::shared_ptr<platform::Pasteboard> pasteboard,
                                                       QObject* parent)
    : RecordingOverlayController(std::move(pasteboard), std::make_shared<QtScreenLayout>(),
                                 OverlayTickerClock::system(), parent)
{
}

RecordingOverlayController::RecordingOverlayController(std::shared_ptr<platform::Pasteboard> pasteboard,
                                                       std::shared_ptr<ScreenLayout> screens,
                                                       std::shared_ptr<OverlayTickerClock> clock, QObject* parent)
    : QObject(parent)
    , pasteboard_(std::move(pasteboard))
    , screens_(std::move(screens))
    , clock_(std::move(clock))
    , viewModel_(clock_)
    , log_(QStringLiteral("com.vellamor.app"), QStringLiteral("overlay"))
{
}

RecordingOverlayController::~RecordingOverlayController()
{
    removeScreenChangeObserver();
    cancelHideTask();
    dropSubscriptions();
    for (const auto& pinned : pinnedPanels_)
        delete pinned.data();
}

QWidget* RecordingOverlayController::panel() const
{
    return panel_.get();
}

QList<QWidget*> RecordingOverlayController::pinnedPanels() const
{
    QList<QWidget*> panels;
    for (const auto& pinned : pinnedPanels_) {
        if (pinned)
            panels.append(pinned.data());
    }
    return panels;
}

void RecordingOverlayController::show()
{
    materializePinnedDoneIfNeeded();
    cancelHideTask();
    viewModel_.isHovering = false;
    viewModel_.isPinned = false;
    viewModel_.warning = QString();
    viewModel_.leftOnClipboard = false;
    viewModel_.delivering = false;
    viewModel_.startTicking();

    ++showGeneration_;
    QObject::disconnect(fadeOutEnd_);
    const bool existed = panel_ != nullptr;
    if (!existed) {
        panel_ = std::make_unique<IslandOverlayView>(viewModel_);
        applyPanelStyle(*panel_);
        opacityAnimation_ = new QPropertyAnimation(panel_.get(), "windowOpacity", panel_.get());
        geometryAnimation_ = new QPropertyAnimation(panel_.get(), "geometry", panel_.get());
        geometryAnimation_->setDuration(static_cast<int>(resizeDuration.count()));
        geometryAnimation_->setEasingCurve(overshootCurve());
        panel_->resize(IslandShape::hidden().panelSize().toSize());
    }
    lastAppliedShape_ = IslandShape::hidden();
    lastAppliedSize_ = IslandShape::hidden().panelSize();
    setOpacity(0);
    // With no screen at all the island keeps its last frame.
    if (const auto screen = activeScreen()) {
        geometryAnimation_->stop();
        panel_->setGeometry(topCentreFrame(*screen, IslandShape::hidden().panelSize()));
    }
    platform::showOutOfWindowLists(*panel_);
    panel_->raise();
    subscribeShape();
    registerScreenChangeObserverIfNeeded();
    // The first appearance has nothing to spring from.
    fadeIn(existed ? overshootCurve() : QEasingCurve());
    scheduleFirstApply();
}

void RecordingOverlayController::hideAfter(std::chrono::milliseconds delay)
{
    cancelHideTask();
    const auto wait = std::max(delay, std::chrono::milliseconds(0));
    QPointer<RecordingOverlayController> weak(this);
    auto clock = clock_;
    hideTask_ = spawn(this, QStringLiteral("overlay hide"),
                      [weak, clock, wait](std::stop_token token) -> QCoro::Task<void> {
                          co_await clock->sleep(wait, token);
                          if (token.stop_requested() || !weak)
                              co_return;
                          const DictationState& state = weak->viewModel_.state.value();
                          // A newer session owns the island.
                          if (state.isActive())
                              co_return;
                          if (state.kind() == DictationState::Kind::done) {
                              // Its text may still be going in, and the island
                              // has yet to say where it went.
                              if (weak->viewModel_.delivering.value()) {
                                  weak->hideAfterOutcome_ = wait;
                                  co_return;
                              }
                              co_await weak->hideDoneWhenNotHovered(token);
                              co_return;
                          }
                          weak->hide(terminalHideFade);
                      });
}

void RecordingOverlayController::hide(std::chrono::milliseconds fadeDuration)
{
    cancelHideTask();
    viewModel_.isHovering = false;
    viewModel_.isPinned = false;
    viewModel_.stopTicking();
    dropSubscriptions();
    lastAppliedShape_ = IslandShape::hidden();
    lastAppliedSize_ = IslandShape::hidden().panelSize();
    removeScreenChangeObserver();
    if (!panel_)
        return;

    opacityAnimation_->stop();
    QObject::disconnect(fadeOutEnd_);
    opacityAnimation_->setDuration(static_cast<int>(std::max<std::chrono::milliseconds::rep>(fadeDuration.count(), 0)));
    opacityAnimation_->setEasingCurve(QEasingCurve());
    opacityAnimation_->setStartValue(panel_->windowOpacity());
    opacityAnimation_->setEndValue(0.0);
    // The island stays transparent until the next show(), which a fade that
    // ends after it must not hide.
    const std::uint64_t generation = showGeneration_;
    fadeOutEnd_ = connect(opacityAnimation_, &QAbstractAnimation::finished, this, [this, generation] {
        QObject::disconnect(fadeOutEnd_);
        postTo(this, [this, generation] {
            if (panel_ && generation == showGeneration_) {
                panel_->hide();
                returnFreedMemory();
            }
        });
    });
    opacityAnimation_->start();
}

void RecordingOverlayController::materializePinnedDoneIfNeeded()
{
    if (!panel_ || !viewModel_.isPinned.value() || !isDone())
        return;
    const QRect island = panel_->geometry();
    QList<QRectF> open;
    for (const auto& pinned : pinnedPanels_) {
        if (pinned)
            open.append(QRectF(pinned->geometry()));
    }
    const auto screen = screenHolding(island);
    const QRectF available = screen ? QRectF(screen->available) : QRectF();
    const QRect frame = OverlayPlacement::freePinnedSlot(QRectF(island), open, available).toRect();

    QPointer<RecordingOverlayController> weak(this);
    auto self = std::make_shared<QPointer<PinnedResultOverlay>>();
    auto* pinned = new PinnedResultOverlay(
        viewModel_.finalText.value(), viewModel_.polishedText.value(), viewModel_.leftOnClipboard.value(), pasteboard_,
        [weak](const QString& text) {
            if (!weak)
                return;
            if (auto insert = weak->onInsertText)
                insert(text);
        },
        [weak, self] {
            if (weak && *self)
                weak->closePinned(self->data());
        });
    *self = pinned;
    applyPanelStyle(*pinned);
    pinned->setGeometry(frame);
    platform::showOutOfWindowLists(*pinned);
    pinned->raise();
    pinnedPanels_.emplace_back(pinned);
    // The result has moved out; a second call must not pin it twice.
    viewModel_.isPinned = false;
}

void RecordingOverlayController::closePinned(PinnedResultOverlay* pinned)
{
    pinned->hide();
    std::erase_if(pinnedPanels_, [pinned](const auto& open) { return open.data() == pinned; });
    // Its own button is still on the stack.
    pinned->deleteLater();
}

void RecordingOverlayController::placeAtTopCentre(QWidget& window, const QSizeF& size, bool animated)
{
    geometryAnimation_->stop();
    const auto screen = activeScreen();
    if (!screen) {
        window.hide();
        return;
    }
    const QRect frame = topCentreFrame(*screen, size);
    if (!animated) {
        window.setGeometry(frame);
        return;
    }
    geometryAnimation_->setStartValue(window.geometry());
    geometryAnimation_->setEndValue(frame);
    geometryAnimation_->start();
}

void RecordingOverlayController::applyShape()
{
    if (!panel_)
        return;
    // The ticker changes the model ten times a second; only a new shape or
    // a new failure text moves the window.
    const IslandShape shape = viewModel_.islandShape();
    const QSizeF size = panel_->panelSize(shape);
    if (shape == lastAppliedShape_ && size == lastAppliedSize_)
        return;
    lastAppliedShape_ = shape;
    lastAppliedSize_ = size;
    placeAtTopCentre(*panel_, size, true);
}

void RecordingOverlayController::subscribeShape()
{
    dropSubscriptions();
    // Queued, so each handler sees the assignment that woke it completed.
    // The pin's current value is no change: a stale finished state must not
    // start a hide for the session that is just beginning.
    lastPinned_ = viewModel_.isPinned.value();
    subscriptions_.push_back(viewModel_.state.subscribeQueued(this, [this](const auto&) { applyShape(); }));
    subscriptions_.push_back(viewModel_.warning.subscribeQueued(this, [this](const auto&) { applyShape(); }));
    subscriptions_.push_back(viewModel_.polishedText.subscribeQueued(this, [this](const auto&) { applyShape(); }));
    subscriptions_.push_back(viewModel_.isPinned.subscribeQueued(this, [this](bool pinned) {
        if (pinned == lastPinned_)
            return;
        lastPinned_ = pinned;
        if (!pinned && isDone())
            hideAfter(unpinnedHideDelay);
    }));
}

void RecordingOverlayController::dropSubscriptions()
{
    subscriptions_.clear();
}

void RecordingOverlayController::registerScreenChangeObserverIfNeeded()
{
    if (screenChangeObserver_)
        return;
    screenChangeObserver_ = connect(screens_.get(), &ScreenLayout::changed, this, [this] {
        postTo(this, [this] {
            if (panel_)
                placeAtTopCentre(*panel_, lastAppliedSize_, false);
        });
    });
}

void RecordingOverlayController::removeScreenChangeObserver()
{
    QObject::disconnect(screenChangeObserver_);
    screenChangeObserver_ = {};
}

void RecordingOverlayController::scheduleFirstApply()
{
    QPointer<RecordingOverlayController> weak(this);
    auto clock = clock_;
    spawn(this, QStringLiteral("overlay first apply"), [weak, clock](std::stop_token token) -> QCoro::Task<void> {
        co_await clock->sleep(firstApplyDelay, token);
        if (token.stop_requested() || !weak)
            co_return;
        weak->applyShape();
    });
}

RecordingOverlayController::OutcomeTicket RecordingOverlayController::awaitOutcome()
{
    viewModel_.delivering = true;
    return showGeneration_;
}

void RecordingOverlayController::showOutcome(OutcomeTicket ticket, bool leftOnClipboard)
{
    if (ticket != showGeneration_)
        return;
    viewModel_.leftOnClipboard = leftOnClipboard;
    viewModel_.delivering = false;
    if (const auto held = std::exchange(hideAfterOutcome_, std::nullopt))
        hideAfter(*held);
}

void RecordingOverlayController::cancelHideTask()
{
    hideAfterOutcome_.reset();
    if (hideTask_) {
        hideTask_->cancel();
        hideTask_.reset();
    }
}

QCoro::Task<void> RecordingOverlayController::hideDoneWhenNotHovered(std::stop_token token)
{
    QPointer<RecordingOverlayController> weak(this);
    auto clock = clock_;
    const auto over = [&] { return token.stop_requested() || !weak || !isDone(); };
    while (!over()) {
        refreshHover();
        if (viewModel_.isPinned.value())
            co_return;
        if (viewModel_.isHovering.value()) {
            co_await clock->sleep(hoverPollInterval, token);
            continue;
        }
        for (int quietPolls = 0;;) {
            co_await clock->sleep(hoverPollInterval, token);
            if (over())
                co_return;
            refreshHover();
            if (viewModel_.isPinned.value())
                co_return;
            if (viewModel_.isHovering.value())
                break;
            if (++quietPolls == quietPollsBeforeFade) {
                if (co_await fadeOutDoneUnlessHovered(token))
                    co_return;
                break;
            }
        }
    }
}

QCoro::Task<bool> RecordingOverlayController::fadeOutDoneUnlessHovered(std::stop_token token)
{
    if (!panel_)
        co_return true;
    QPointer<RecordingOverlayController> weak(this);
    auto clock = clock_;
    // Whoever stopped the fade takes the island over, at whatever opacity it has.
    const auto over = [&] { return token.stop_requested() || !weak || !isDone(); };
    const double start = panel_->windowOpacity();
    const auto startedAt = clock->now();
    for (int step = 0;; ++step) {
        if (over())
            co_return true;
        refreshHover();
        if (viewModel_.isPinned.value() || viewModel_.isHovering.value()) {
            setOpacity(1);
            co_return viewModel_.isPinned.value();
        }
        setOpacity(start * (1.0 - static_cast<double>(step) / doneFadeSteps));
        co_await sleepUntil(*clock, startedAt + doneFadeFrame * (step + 1), token);
        // A show() during the last frame has a new session on the island.
        if (step == doneFadeSteps) {
            if (!over())
                finishHideAfterFade();
            co_return true;
        }
    }
}

void RecordingOverlayController::finishHideAfterFade()
{
    viewModel_.stopTicking();
    dropSubscriptions();
    lastAppliedShape_ = IslandShape::hidden();
    lastAppliedSize_ = IslandShape::hidden().panelSize();
    removeScreenChangeObserver();
    if (panel_) {
        geometryAnimation_->stop();
        panel_->hide();
        setOpacity(1);
        returnFreedMemory();
    }
    hideTask_.reset();
}

void RecordingOverlayController::refreshHover()
{
    viewModel_.isHovering = panel_ && panel_->isVisible() && panel_->geometry().contains(screens_->pointer());
}

void RecordingOverlayController::setOpacity(double opacity)
{
    opacityAnimation_->stop();
    panel_->setWindowOpacity(opacity);
}

void RecordingOverlayController::fadeIn(const QEasingCurve& curve)
{
    opacityAnimation_->stop();
    opacityAnimation_->setDuration(static_cast<int>(fadeInDuration.count()));
    opacityAnimation_->setEasingCurve(curve);
    opacityAnimation_->setStartValue(0.0);
    opacityAnimation_->setEndValue(1.0);
    opacityAnimation_->start();
}

std::optional<ScreenLayout::Screen> RecordingOverlayController::activeScreen() const
{
    const QPoint pointer = screens_->pointer();
    for (const auto& screen : screens_->screens()) {
        if (screen.geometry.contains(pointer))
            return screen;
    }
    if (auto focused = screens_->focusWindowScreen())
        return focused;
    return screens_->primaryScreen();
}

std::optional<ScreenLayout::Screen> RecordingOverlayController::screenHolding(const QRect& frame) const
{
    for (const auto& screen : screens_->screens()) {
        if (screen.geometry.contains(frame.center()))
            return screen;
    }
    return activeScreen();
}

bool RecordingOverlayController::isDone() const
{
    return viewModel_.state.value().kind() == DictationState::Kind::done;
}

} // namespace vellamor
