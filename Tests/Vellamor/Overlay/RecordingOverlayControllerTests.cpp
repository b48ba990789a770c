#include "EngineTestPrinters.h"
#include "FakeScreenLayout.h"
#include "ManualAnimationDriver.h"
#include "ManualTickerClock.h"
#include "OverlayRendering.h"
#include "QtPrinters.h"

#include "Overlay/PinnedTextActionButton.h"
#include "Overlay/RecordingOverlayController.h"

#include <QAbstractButton>

#include <gmock/gmock.h>

#include <array>
#include <memory>

inline void PrintTo(const QRect& rect, std::ostream* os)
{
    *os << "(" << rect.x() << ", " << rect.y() << ", " << rect.width() << " x " << rect.height() << ")";
}

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

// A 1440 x 900 screen under a 25 high panel, and a second screen to its right.
const ScreenLayout::Screen mainScreen{{0, 0, 1440, 900}, {0, 25, 1440, 875}};
const ScreenLayout::Screen rightScreen{{1440, 0, 1920, 1080}, {1440, 0, 1920, 1080}};

class RecordingOverlayControllerTest : public ::testing::Test {
protected:
    RecordingOverlayControllerTest()
    {
        screens_->screenList = {mainScreen, rightScreen};
        screens_->primary = mainScreen;
        pointAway();
        controller_->onInsertText = [this](const QString& text) { inserted_.append(text); };
    }

    void TearDown() override
    {
        controller_.reset();
        settleWidgets();
    }

    // Moves the sleeps and the animations on together, in steps shorter than
    // a frame of the finished island's fade.
    void advance(std::chrono::milliseconds by)
    {
        for (auto left = by; left > 0ms;) {
            const auto step = std::min(left, std::chrono::milliseconds(4));
            clock_->advance(step);
            driver_.step(step);
            settleWidgets();
            left -= step;
        }
    }

    // A finished dictation with text, whose island has grown to its shape.
    void finishDictation()
    {
        controller_->show();
        model().finalText = QStringLiteral("明天下午三点开会");
        model().state = DictationState::done();
        advance(500ms);
    }

    OverlayViewModel& model() { return controller_->viewModel(); }
    QWidget& island() { return *controller_->panel(); }
    bool islandShown() { return island().isVisible(); }
    void pointAtIsland() { screens_->pointerAt = island().geometry().center(); }
    void pointAway() { screens_->pointerAt = {700, 600}; }

    std::shared_ptr<FakeScreenLayout> screens_ = std::make_shared<FakeScreenLayout>();
    std::shared_ptr<ManualTickerClock> clock_ = std::make_shared<ManualTickerClock>();
    ManualAnimationDriver driver_;
    std::unique_ptr<RecordingOverlayController> controller_ =
        std::make_unique<RecordingOverlayController>(nullptr, screens_, clock_);
    QStringList inserted_;
};

TEST_F(RecordingOverlayControllerTest, IslandFadesInAtTheTopCentreAndFollowsTheShape)
{
    // A warning left from an earlier session must not shape the new one.
    model().warning = QStringLiteral("即将超时，1 分钟后自动结束");
    controller_->show();
    EXPECT_EQ(island().geometry(), QRect(665, 39, 110, 26));
    EXPECT_EQ(island().windowOpacity(), 0.0);
    advance(400ms);
    EXPECT_EQ(island().windowOpacity(), 1.0);

    model().state = DictationState::recording();
    int widest = 0;
    for (int ms = 0; ms < 500; ms += 10) {
        advance(10ms);
        widest = std::max(widest, island().width());
    }
    EXPECT_GT(widest, 326);
    EXPECT_EQ(island().geometry(), QRect(557, 39, 326, 32));

    // Text alone does not resize; the next change of a watched field does.
    model().state = DictationState::transcribing();
    advance(500ms);
    model().partialText = QStringLiteral("明天下午");
    advance(500ms);
    EXPECT_EQ(island().width(), 126);
    model().polishedText = QString();
    advance(500ms);
    EXPECT_EQ(island().width(), 292);
}

TEST_F(RecordingOverlayControllerTest, IslandGoesToTheScreenUnderThePointerElseTheFocusedElseThePrimary)
{
    struct Case {
        QPoint pointer;
        std::optional<ScreenLayout::Screen> focused;
        QRect frame;
    };
    const std::array cases{
        Case{{10, 10}, rightScreen, {665, 39, 110, 26}},
        Case{{2000, 500}, std::nullopt, {2345, 14, 110, 26}},
        Case{{-50, -50}, rightScreen, {2345, 14, 110, 26}},
        Case{{-50, -50}, std::nullopt, {665, 39, 110, 26}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pointer.x());
        screens_->pointerAt = c.pointer;
        screens_->focused = c.focused;
        controller_->show();
        EXPECT_EQ(island().geometry(), c.frame);
    }

    // A new arrangement places the island at once, at the size it has.
    model().state = DictationState::recording();
    advance(500ms);
    screens_->pointerAt = {10, 10};
    screens_->screenList = {{{0, 0, 1280, 800}, {0, 0, 1280, 800}}};
    Q_EMIT screens_->changed();
    settleWidgets();
    EXPECT_EQ(island().geometry(), QRect(477, 14, 326, 32));
}

TEST_F(RecordingOverlayControllerTest, FinishedIslandFadesOnceThePointerLeftItAndNothingIsPinned)
{
    finishDictation();
    controller_->hideAfter(1500ms);
    // 1.5 s delay + 2.0 s of quiet polls, then a 3 s fade.
    advance(3490ms);
    EXPECT_EQ(island().windowOpacity(), 1.0);
    advance(1510ms);
    EXPECT_NEAR(island().windowOpacity(), 0.5, 0.02);

    // The pointer brings it back at once; leaving starts the count afresh
    // (noticed at the next poll, within 100 ms).
    pointAtIsland();
    advance(20ms);
    EXPECT_EQ(island().windowOpacity(), 1.0);
    advance(3000ms);
    pointAway();
    advance(4950ms);
    EXPECT_TRUE(islandShown());
    advance(200ms);
    EXPECT_FALSE(islandShown());
    EXPECT_EQ(island().windowOpacity(), 1.0);

    // Pinned, it stays; unpinned, 2.0 s delay + 2.0 s + 3.0 s.
    finishDictation();
    model().isPinned = true;
    controller_->hideAfter(1500ms);
    advance(10s);
    EXPECT_TRUE(islandShown());
    model().isPinned = false;
    advance(6900ms);
    EXPECT_TRUE(islandShown());
    advance(200ms);
    EXPECT_FALSE(islandShown());
}

// A delivery still going when the finished island would have faded: the
// island waits for its outcome, shows it, and only then counts down its hide.
TEST_F(RecordingOverlayControllerTest, FinishedIslandWaitsForASlowDeliveryAndShowsItsOutcome)
{
    finishDictation();
    const auto ticket = controller_->awaitOutcome();
    controller_->hideAfter(1500ms);
    advance(10s);
    EXPECT_TRUE(islandShown());
    EXPECT_EQ(island().windowOpacity(), 1.0);

    controller_->showOutcome(ticket, true);
    EXPECT_TRUE(model().leftOnClipboard.value());
    advance(3490ms);
    EXPECT_EQ(island().windowOpacity(), 1.0);
    advance(3200ms);
    EXPECT_FALSE(islandShown());

    // The next session's island waits for nothing.
    finishDictation();
    controller_->hideAfter(1500ms);
    advance(6700ms);
    EXPECT_FALSE(islandShown());
}

TEST_F(RecordingOverlayControllerTest, DelayedHideActsOnTheStateItWakesTo)
{
    struct Case {
        const char* name;
        DictationState state;
        std::chrono::milliseconds delay;
        std::chrono::milliseconds stillShown;
        bool goneSoonAfter;
    };
    const std::array cases {
        Case { "cancelled", DictationState::cancelled(), 900ms, 1150ms, true },
        Case { "negative delay", DictationState::failed(QStringLiteral("网络错误")), -5000ms, 250ms, true },
        Case { "a newer session records", DictationState::recording(), 900ms, 2s, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        controller_->show();
        model().state = c.state;
        // Replaced by the next one.
        controller_->hideAfter(100ms);
        controller_->hideAfter(c.delay);
        advance(c.stillShown);
        EXPECT_TRUE(islandShown());
        advance(100ms);
        EXPECT_EQ(islandShown(), !c.goneSoonAfter);
    }
}

TEST_F(RecordingOverlayControllerTest, NewSessionSurvivesTheEndOfAnEarlierFade)
{
    struct Case {
        const char* name;
        std::function<void()> reachTheFadesEnd;
    };
    const std::array cases{
        // The fade ends within the last step; its completion runs on a later turn.
        Case{"between a hide's fade and its completion",
             [this] {
                 controller_->hide(300ms);
                 advance(280ms);
                 driver_.step(50ms);
             }},
        // The fade starts 3.5 s after the hide was asked for; its last frame begins 3.0 s later.
        Case{"within the last frame of the finished island's fade",
             [this] {
                 controller_->hideAfter(1500ms);
                 advance(6505ms);
             }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        finishDictation();
        c.reachTheFadesEnd();
        controller_->show();
        model().state = DictationState::recording();
        advance(1s);
        EXPECT_TRUE(islandShown());
        EXPECT_EQ(island().windowOpacity(), 1.0);
    }

    // A finished state still in the model when the next show() runs is no unpinning.
    finishDictation();
    model().isPinned = true;
    settleWidgets();
    controller_->show();
    advance(8s);
    EXPECT_TRUE(islandShown());
}

TEST_F(RecordingOverlayControllerTest, PinnedResultsStackInFreeSlotsBelowTheIsland)
{
    const auto pinAndShow = [this] {
        finishDictation();
        model().isPinned = true;
        controller_->show();
    };
    pinAndShow();
    ASSERT_EQ(controller_->pinnedPanels().size(), 1);
    QWidget& first = *controller_->pinnedPanels().front();
    EXPECT_EQ(first.geometry(), QRect(530, 173, 380, 126));
    EXPECT_EQ(shownTexts(first),
        QStringList({ QStringLiteral("已插入"), QStringLiteral("原文"), QStringLiteral("明天下午三点开会") }));
    EXPECT_EQ(island().geometry(), QRect(665, 39, 110, 26));
    EXPECT_EQ(island().windowOpacity(), 0.0);
    EXPECT_FALSE(model().isPinned.value());
    shownInReadingOrder<PinnedTextActionButton>(first).back()->click();
    EXPECT_EQ(inserted_, QStringList { QStringLiteral("明天下午三点开会") });

    // After closing the first of two, the next one takes the free slot
    // instead of covering the second.
    pinAndShow();
    QWidget* second = controller_->pinnedPanels().back();
    EXPECT_EQ(second->geometry(), QRect(530, 307, 380, 126));
    for (auto* button : first.findChildren<QAbstractButton*>()) {
        if (button->toolTip() == QStringLiteral("关闭固定提示"))
            button->click();
    }
    EXPECT_EQ(controller_->pinnedPanels(), QList<QWidget*>{second});
    pinAndShow();
    EXPECT_EQ(controller_->pinnedPanels().back()->geometry(), QRect(530, 173, 380, 126));

    // A hint resets the model; the pinned result is kept first.
    finishDictation();
    model().isPinned = true;
    controller_->materializePinnedDoneIfNeeded();
    model().reset();
    model().state = DictationState::failed(QStringLiteral("请先登录后再使用语音输入"));
    controller_->show();
    EXPECT_EQ(controller_->pinnedPanels().size(), 3);
}

} // namespace
} // namespace vellamor::test
