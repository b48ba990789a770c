#include "Overlay/OverlayViewModel.h"

#include "Support/Async/Spawn.h"
#include "Support/TextGraphemes.h"
#include "Windows/RedrawBatch.h"

#include <QPointer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vellamor {

namespace {

// Room for 111 characters of up to 18 code units each (long emoji sequences).
constexpr qsizetype heightCountUnits = 2000;


qint64 millisSince(OverlayTickerClock::TimePoint start, OverlayTickerClock::TimePoint now)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - start).count();
}

} // namespace

OverlayViewModel::OverlayViewModel(QObject* parent) : OverlayViewModel(OverlayTickerClock::system(), parent) {}

OverlayViewModel::OverlayViewModel(std::shared_ptr<OverlayTickerClock> clock, QObject* parent)
    : QObject(parent)
    , clock_(std::move(clock))
{
    // Subscribed first, so every other observer of a state change already
    // sees the restarted phase clock.
    phaseClockRule_ = state.subscribe([this](const DictationState& next) {
        if (next == state.value())
            return;
        phaseStartAt_ = clock_->now();
        phaseElapsedMillis = 0;
    });
}

OverlayViewModel::~OverlayViewModel()
{
    stopTicking();
}

IslandShape OverlayViewModel::islandShape() const
{
    using Kind = DictationState::Kind;
    const Kind kind = state.value().kind();
    if (!warning.value().isEmpty() && (kind == Kind::recording || kind == Kind::transcribing))
        return IslandShape::warn();
    switch (kind) {
    case Kind::idle:
        return IslandShape::hidden();
    case Kind::recording:
        return IslandShape::pill(326);
    case Kind::transcribing:
        return IslandShape::pill(partialText.value().isEmpty() ? 126 : 292);
    case Kind::polishing:
    case Kind::inserting:
        return IslandShape::expanded(IslandShape::expandedWidth, expandHeightForText());
    case Kind::done:
        return hasResultText() ? IslandShape::expanded(IslandShape::expandedWidth, expandHeightForText()) : IslandShape::done();
    case Kind::cancelled:
        return IslandShape::cancelled();
    case Kind::failed:
        return IslandShape::failed();
    }
    return IslandShape::hidden();
}

double OverlayViewModel::progressFraction() const
{
    using Kind = DictationState::Kind;
    const double t = static_cast<double>(elapsedMillis.value()) / 1000.0;
    const double p = static_cast<double>(phaseElapsedMillis.value()) / 1000.0;
    switch (state.value().kind()) {
    case Kind::idle:
        return 0;
    case Kind::recording:
        return std::min(0.06 + t / 240 * 0.28, 0.34);
    case Kind::transcribing:
        return std::min(0.36 + p / 8 * 0.28, 0.64);
    case Kind::polishing:
        return std::min(0.66 + p / 10 * 0.18, 0.84);
    case Kind::inserting:
        return std::min(0.86 + p / 2 * 0.1, 0.96);
    case Kind::done:
        return 1;
    case Kind::cancelled:
        return std::min(std::max(0.18 + t / 60 * 0.32, 0.18), 0.72);
    case Kind::failed:
        return std::min(std::max(0.22 + t / 60 * 0.38, 0.22), 0.92);
    }
    return 0;
}

bool OverlayViewModel::hasResultText() const
{
    return !finalText.value().isEmpty() || !polishedText.value().isEmpty();
}

double OverlayViewModel::expandHeightForText() const
{
    // Only whether a text passes 110 characters matters, which its
    // beginning tells: a huge text is not counted to its end.
    const auto counted = [](const QString& text) { return graphemeCount(text.left(heightCountUnits)); };
    const qsizetype n = std::max(counted(polishedText.value()), counted(finalText.value()));
    if (n <= 40)
        return 126;
    if (n <= 110)
        return 180;
    return 260;
}

void OverlayViewModel::startTicking()
{
    stopTicking();
    const auto now = clock_->now();
    tickStartAt_ = now;
    phaseStartAt_ = now;
    elapsedMillis = 0;
    phaseElapsedMillis = 0;

    // The task holds the model weakly and checks its cancellation after every
    // wake-up: the timer may have fired just before a stopTicking() whose
    // cancellation then comes too late to cut the sleep short.
    QPointer<OverlayViewModel> weak(this);
    auto clock = clock_;
    tickerTask_ = spawn(this, QStringLiteral("overlay ticker"),
                        [weak, clock](std::stop_token token) -> QCoro::Task<void> {
                            while (!token.stop_requested()) {
                                co_await clock->sleep(tickInterval, token);
                                if (token.stop_requested() || !weak)
                                    co_return;
                                if (!weak->tick())
                                    co_return;
                            }
                        });
}

void OverlayViewModel::stopTicking()
{
    if (tickerTask_) {
        tickerTask_->cancel();
        tickerTask_.reset();
    }
    tickStartAt_.reset();
    phaseStartAt_.reset();
}

bool OverlayViewModel::tick()
{
    if (!tickStartAt_)
        return false;
    const auto now = clock_->now();
    elapsedMillis = millisSince(*tickStartAt_, now);
    if (phaseStartAt_)
        phaseElapsedMillis = millisSince(*phaseStartAt_, now);
    pushRMS(rms.value());
    return true;
}

void OverlayViewModel::pushRMS(float level)
{
    // Written so that a level that is not a number counts as silence.
    float lifted = 0;
    if (level > 0.0f)
        lifted = std::min(std::pow(8.0f * std::min(level, 1.0f), 0.55f), 1.0f);
    RmsWindow window = rmsSamples.value();
    std::shift_left(window.begin(), window.end(), 1);
    window.back() = lifted;
    rmsSamples = window;
}

void OverlayViewModel::reset()
{
    state = DictationState::idle();
    partialText = QString();
    finalText = QString();
    polishedText = QString();
    elapsedMillis = 0;
    phaseElapsedMillis = 0;
    rms = 0;
    rmsSamples = RmsWindow{};
    warning = QString();
    isHovering = false;
    isPinned = false;
    scene = QStringLiteral("general");
    leftOnClipboard = false;
    delivering = false;
}

Subscription OverlayViewModel::observeChanges(QObject* context, std::function<void()> refresh)
{
    auto batch = std::make_shared<RedrawBatch>(context, std::move(refresh));
    batch->follow(state, partialText, finalText, polishedText, elapsedMillis, phaseElapsedMillis, rmsSamples, warning,
                  isHovering, isPinned, leftOnClipboard, delivering, scene, hotkeyMode);
    return Subscription([batch] { batch->cancel(); });
}

} // namespace vellamor
