#pragma once

#include "Dictation/DictationState.h"
#include "Overlay/IslandShape.h"
#include "Overlay/OverlayTickerClock.h"
#include "Support/Async/Published.h"
#include "Support/Async/TaskHandle.h"

#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// The one model behind the recording overlay: the session as the composition
// root mirrors it, two clocks (session and phase), the level window of the
// waveform, and the island's geometry derived from them. Derived values are
// computed on every read. Main thread only.
class OverlayViewModel : public QObject {
    Q_OBJECT

public:
    static constexpr std::size_t rmsWindowSize = 14;
    using RmsWindow = std::array<float, rmsWindowSize>;
    static constexpr std::chrono::milliseconds tickInterval{100};

    explicit OverlayViewModel(QObject* parent = nullptr);
    explicit OverlayViewModel(std::shared_ptr<OverlayTickerClock> clock, QObject* parent = nullptr);
    ~OverlayViewModel() override;

    // Written by the composition root from the session's snapshots. A state
    // that differs from the current one (a failed reason included) restarts
    // the phase clock, whether or not the ticker runs.
    Published<DictationState> state{DictationState::idle()};
    Published<QString> partialText;
    Published<QString> finalText;
    Published<QString> polishedText;
    // Since startTicking() and since the last change of state; kept when
    // the ticker stops, so a finished island shows its final time.
    Published<qint64> elapsedMillis{0};
    Published<qint64> phaseElapsedMillis{0};
    // The latest microphone level, 0...1; the ticker shifts it into rmsSamples.
    Published<float> rms{0};
    // Oldest first, each 0...1.
    Published<RmsWindow> rmsSamples{RmsWindow{}};
    // The time-limit warning; while recording or transcribing it turns the
    // island into the warn shape.
    Published<QString> warning;
    // Written by the island's views and by the overlay controller.
    Published<bool> isHovering{false};
    Published<bool> isPinned{false};
    Published<QString> scene{QStringLiteral("general")};
    // The finished text reached no field and waits on the clipboard.
    Published<bool> leftOnClipboard{false};
    // The finished text is still being delivered: where it went is not known yet.
    Published<bool> delivering{false};
    // "toggle", or anything else for holding the key.
    Published<QString> hotkeyMode{QStringLiteral("hold")};

    // Run by the island's cancel and retry buttons; unset ones do nothing.
    std::function<void()> onCancel;
    std::function<void()> onRetry;

    IslandShape islandShape() const;
    // 0...1, the island's background fill: each active phase fills its own band.
    double progressFraction() const;
    bool hasResultText() const;
    // 126, 180 or 260, by the longer of the final and polished texts in
    // user-perceived characters.
    double expandHeightForText() const;

    // Restarts both clocks and the ticker, which updates them every 100 ms
    // (the first update 100 ms after the start) and shifts the level in.
    void startTicking();
    // Stops the ticker and forgets the start times; the clocks keep their values.
    void stopTicking();

    // Shifts one level into the waveform window, lifted so quiet speech shows.
    void pushRMS(float level);

    // The mirrored session fields back to their initial values (the state
    // with the phase-clock rule, the scene to "general"). The hotkey mode,
    // the callbacks, a running ticker and its start time stay.
    void reset();

    // Runs `refresh` on a later turn of `context`'s event loop once any
    // published field but `rms` was assigned, once for everything assigned in
    // between (a tick's three changes redraw once), and once right after
    // subscribing. No view draws `rms`, which the level pump writes every
    // 20 ms; it reaches them through the tick's rmsSamples.
    // Nothing runs after `context` is destroyed or the subscription ends.
    [[nodiscard]] Subscription observeChanges(QObject* context, std::function<void()> refresh);

private:
    // False when the ticker has no start time left and should end.
    bool tick();

    std::shared_ptr<OverlayTickerClock> clock_;
    std::optional<TaskHandle> tickerTask_;
    std::optional<OverlayTickerClock::TimePoint> tickStartAt_;
    std::optional<OverlayTickerClock::TimePoint> phaseStartAt_;
    Subscription phaseClockRule_;
};

} // namespace vellamor
