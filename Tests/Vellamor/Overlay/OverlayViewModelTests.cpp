#include "EngineTestPrinters.h"
#include "ManualTickerClock.h"
#include "OverlayTestPrinters.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include "Overlay/OverlayViewModel.h"

#include <gmock/gmock.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

QString repeated(const QString& unit, int times)
{
    return unit.repeated(times);
}

class OverlayViewModelTest : public ::testing::Test {
protected:
    // A stopped ticker resumes once more to end; let it, so its frame is freed.
    void TearDown() override
    {
        model_.reset();
        settle();
    }

    // A woken sleep resumes on the next turn; the redraw its tick asks for
    // runs on the one after.
    static void settle()
    {
        afterQueuedCalls();
        afterQueuedCalls();
    }

    void advance(std::chrono::microseconds by)
    {
        clock_->advance(by);
        settle();
    }

    std::shared_ptr<ManualTickerClock> clock_ = std::make_shared<ManualTickerClock>();
    std::unique_ptr<OverlayViewModel> model_ = std::make_unique<OverlayViewModel>(clock_);
    OverlayViewModel& model = *model_;
};

TEST_F(OverlayViewModelTest, ShapeFollowsStateTextsAndWarning)
{
    struct Case {
        const char* name;
        DictationState state;
        QString partial;
        QString finalText;
        QString polished;
        QString warning;
        IslandShape shape;
        QSizeF size;
    };
    const std::array cases {
        Case { "new model", DictationState::idle(), {}, {}, {}, {}, IslandShape::hidden(), { 110, 26 } },
        Case { "recording", DictationState::recording(), {}, {}, {}, {}, IslandShape::pill(326), { 326, 32 } },
        Case { "transcribing, nothing heard yet", DictationState::transcribing(), {}, {}, {}, {},
            IslandShape::pill(126), { 126, 32 } },
        Case { "transcribing with partial text", DictationState::transcribing(), QStringLiteral("你好"), {}, {}, {},
            IslandShape::pill(292), { 292, 32 } },
        Case { "warning while recording", DictationState::recording(), {}, {}, {}, QStringLiteral("即将超时"),
            IslandShape::warn(), { 280, 32 } },
        Case { "warning beats partial text", DictationState::transcribing(), QStringLiteral("你好"), {}, {},
            QStringLiteral("即将超时"), IslandShape::warn(), { 280, 32 } },
        Case { "warning while polishing", DictationState::polishing(), {}, {}, {}, QStringLiteral("即将超时"),
            IslandShape::expanded(380, 126), { 380, 126 } },
        Case { "inserting", DictationState::inserting(), {}, QStringLiteral("短句"), {}, {},
            IslandShape::expanded(380, 126), { 380, 126 } },
        Case { "done without text", DictationState::done(), {}, {}, {}, {}, IslandShape::done(), { 164, 32 } },
        Case { "done with final text only", DictationState::done(), {}, QStringLiteral("短句"), {}, {},
            IslandShape::expanded(380, 126), { 380, 126 } },
        Case { "cancelled", DictationState::cancelled(), {}, {}, {}, QStringLiteral("即将超时"),
            IslandShape::cancelled(), { 160, 32 } },
        Case { "failed", DictationState::failed(QStringLiteral("网络错误")), {}, {}, {}, QStringLiteral("即将超时"),
            IslandShape::failed(), { 260, 32 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.state = c.state;
        model.partialText = c.partial;
        model.finalText = c.finalText;
        model.polishedText = c.polished;
        model.warning = c.warning;
        EXPECT_EQ(model.islandShape(), c.shape);
        EXPECT_EQ(model.islandShape().panelSize(), c.size);
    }
}

TEST_F(OverlayViewModelTest, ExpandedHeightFollowsTheLongerTextInUserPerceivedCharacters)
{
    struct Case {
        const char* name;
        QString finalText;
        QString polished;
        double height;
    };
    const std::array cases {
        Case { "no text yet", {}, {}, 126 },
        Case { "40 ideographs", repeated(QStringLiteral("字"), 40), {}, 126 },
        Case { "41 ideographs", repeated(QStringLiteral("字"), 41), {}, 180 },
        Case { "110 ideographs", {}, repeated(QStringLiteral("字"), 110), 180 },
        Case { "111 ideographs", {}, repeated(QStringLiteral("字"), 111), 260 },
        Case { "40 emoji with skin tone, 160 code units", repeated(QStringLiteral("👍🏽"), 40), {}, 126 },
        Case { "41 family emoji", {}, repeated(QStringLiteral("👨‍👩‍👧"), 41), 180 },
        Case {
            "short polished, long final", repeated(QStringLiteral("a"), 120), repeated(QStringLiteral("字"), 30), 260 },
    };
    model.state = DictationState::polishing();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.finalText = c.finalText;
        model.polishedText = c.polished;
        EXPECT_EQ(model.expandHeightForText(), c.height);
        EXPECT_EQ(model.islandShape(), IslandShape::expanded(380, c.height));
    }
}

TEST_F(OverlayViewModelTest, ProgressFillsEachPhaseBandAndStopsAtItsTop)
{
    struct Case {
        DictationState state;
        qint64 sessionMillis;
        qint64 phaseMillis;
        double progress;
    };
    const std::array cases {
        Case { DictationState::idle(), 90'000, 90'000, 0 },
        Case { DictationState::recording(), 0, 0, 0.06 },
        Case { DictationState::recording(), 120'000, 0, 0.2 },
        Case { DictationState::recording(), 240'000, 0, 0.34 },
        Case { DictationState::recording(), 600'000, 0, 0.34 },
        Case { DictationState::transcribing(), 60'000, 4'000, 0.5 },
        Case { DictationState::transcribing(), 60'000, 9'000, 0.64 },
        Case { DictationState::polishing(), 60'000, 5'000, 0.75 },
        Case { DictationState::polishing(), 60'000, 11'000, 0.84 },
        Case { DictationState::inserting(), 60'000, 1'000, 0.91 },
        Case { DictationState::inserting(), 60'000, 3'000, 0.96 },
        Case { DictationState::done(), 0, 0, 1 },
        Case { DictationState::cancelled(), 0, 0, 0.18 },
        Case { DictationState::cancelled(), 30'000, 0, 0.34 },
        Case { DictationState::cancelled(), 200'000, 0, 0.72 },
        Case { DictationState::failed(QStringLiteral("出错")), 0, 0, 0.22 },
        Case { DictationState::failed(QStringLiteral("出错")), 200'000, 0, 0.92 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state.debugDescription().toStdString() + " at " + std::to_string(c.sessionMillis) + "/"
                     + std::to_string(c.phaseMillis) + " ms");
        model.state = c.state;
        model.elapsedMillis = c.sessionMillis;
        model.phaseElapsedMillis = c.phaseMillis;
        EXPECT_NEAR(model.progressFraction(), c.progress, 1e-12);
    }
}

TEST_F(OverlayViewModelTest, PushedLevelsAreLiftedAndShiftedThroughAWindowOf14)
{
    struct Case {
        float level;
        float shown;
    };
    const std::array cases{
        Case{0, 0},           Case{-0.5f, 0},       Case{std::numeric_limits<float>::quiet_NaN(), 0},
        Case{0.01f, 0.2493f}, Case{0.05f, 0.6041f}, Case{0.125f, 1},
        Case{5, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        const float before = model.rmsSamples.value().back();
        model.pushRMS(c.level);
        EXPECT_NEAR(model.rmsSamples.value().back(), c.shown, 1e-4);
        EXPECT_EQ(model.rmsSamples.value()[12], before);
    }
    EXPECT_NEAR(model.rmsSamples.value()[10], 0.2493f, 1e-4);
}

// One ticker run on the hand-moved clock: the first update after 100 ms,
// clocks measured from their start times (so a late wake-up shows the real
// time, truncated to whole milliseconds), the level shifted in on each tick,
// and the phase clock restarted only by a different state.
TEST_F(OverlayViewModelTest, TickerMeasuresBothClocksFromTheirStartTimes)
{
    model.rms = 0.125f;
    model.startTicking();
    advance(99ms);
    EXPECT_EQ(model.elapsedMillis.value(), 0);
    EXPECT_EQ(model.rmsSamples.value().back(), 0.0f);

    advance(1ms);
    EXPECT_EQ(model.elapsedMillis.value(), 100);
    EXPECT_EQ(model.phaseElapsedMillis.value(), 100);
    EXPECT_EQ(model.rmsSamples.value().back(), 1.0f);

    model.state = DictationState::recording();
    EXPECT_EQ(model.phaseElapsedMillis.value(), 0);
    advance(250ms + 700us);
    EXPECT_EQ(model.elapsedMillis.value(), 350);
    EXPECT_EQ(model.phaseElapsedMillis.value(), 250);

    model.state = DictationState::recording();
    EXPECT_EQ(model.phaseElapsedMillis.value(), 250);
    advance(100ms);
    EXPECT_EQ(model.phaseElapsedMillis.value(), 350);

    model.state = DictationState::failed(QStringLiteral("网络错误"));
    advance(100ms);
    EXPECT_EQ(model.phaseElapsedMillis.value(), 100);
    model.state = DictationState::failed(QStringLiteral("网络错误"));
    EXPECT_EQ(model.phaseElapsedMillis.value(), 100);
    model.state = DictationState::failed(QStringLiteral("连接超时"));
    EXPECT_EQ(model.phaseElapsedMillis.value(), 0);
    EXPECT_EQ(model.elapsedMillis.value(), 550);
}

TEST_F(OverlayViewModelTest, PhaseClockRestartsWithoutATicker)
{
    model.state = DictationState::recording();
    model.phaseElapsedMillis = 4'000;
    model.state = DictationState::transcribing();
    EXPECT_EQ(model.phaseElapsedMillis.value(), 0);
}

TEST_F(OverlayViewModelTest, StoppedTickerKeepsTheClocksAndIgnoresALateWakeUp)
{
    model.startTicking();
    advance(300ms);
    model.stopTicking();
    advance(300ms);
    EXPECT_EQ(model.elapsedMillis.value(), 300);
    EXPECT_EQ(model.phaseElapsedMillis.value(), 300);

    // The sleep is over, but the ticker has not resumed yet when it is stopped.
    model.rms = 1;
    model.startTicking();
    clock_->advance(100ms);
    model.stopTicking();
    settle();
    EXPECT_EQ(model.elapsedMillis.value(), 0);
    EXPECT_EQ(model.phaseElapsedMillis.value(), 0);
    EXPECT_EQ(model.rmsSamples.value().back(), 0.0f);
}

TEST_F(OverlayViewModelTest, ResetClearsTheSessionButKeepsModeCallbacksAndTheRunningTicker)
{
    int cancels = 0;
    model.onCancel = [&] { ++cancels; };
    model.hotkeyMode = QStringLiteral("toggle");
    model.scene = QStringLiteral("code");
    model.startTicking();
    model.state = DictationState::done();
    model.partialText = QStringLiteral("部分");
    model.finalText = QStringLiteral("原文");
    model.polishedText = QStringLiteral("润色");
    model.warning = QStringLiteral("即将超时");
    model.isHovering = true;
    model.isPinned = true;
    model.pushRMS(1);
    advance(300ms);

    model.reset();
    EXPECT_EQ(model.state.value(), DictationState::idle());
    EXPECT_EQ(model.partialText.value(), QString());
    EXPECT_EQ(model.finalText.value(), QString());
    EXPECT_EQ(model.polishedText.value(), QString());
    EXPECT_EQ(model.elapsedMillis.value(), 0);
    EXPECT_EQ(model.rmsSamples.value(), OverlayViewModel::RmsWindow{});
    EXPECT_EQ(model.warning.value(), QString());
    EXPECT_FALSE(model.isHovering.value());
    EXPECT_FALSE(model.isPinned.value());
    EXPECT_EQ(model.scene.value(), QStringLiteral("general"));
    EXPECT_EQ(model.hotkeyMode.value(), QStringLiteral("toggle"));
    ASSERT_TRUE(model.onCancel);
    model.onCancel();
    EXPECT_EQ(cancels, 1);

    advance(100ms);
    EXPECT_EQ(model.elapsedMillis.value(), 400);
    EXPECT_EQ(model.phaseElapsedMillis.value(), 100);
}

TEST_F(OverlayViewModelTest, ObserversRedrawOncePerTick)
{
    int refreshes = 0;
    QObject context;
    Subscription changes = model.observeChanges(&context, [&] { ++refreshes; });
    settle();
    EXPECT_EQ(refreshes, 1);

    model.startTicking();
    settle();
    EXPECT_EQ(refreshes, 2);
    advance(100ms);
    EXPECT_EQ(refreshes, 3);

    changes.cancel();
    advance(100ms);
    EXPECT_EQ(refreshes, 3);
}

} // namespace
} // namespace vellamor::test
