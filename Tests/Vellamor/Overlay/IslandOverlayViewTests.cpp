#include "ManualAnimationDriver.h"
#include "ManualTickerClock.h"
#include "OverlayRendering.h"
#include "OverlayTestPrinters.h"
#include "QtPrinters.h"

#include "Overlay/ActionPill.h"
#include "Overlay/CancelButton.h"
#include "Overlay/CheckMarkShape.h"
#include "Overlay/DoneRow.h"
#include "Overlay/IslandOverlayView.h"
#include "Overlay/OverlayTheme.h"
#include "Overlay/OverlayViewModel.h"
#include "Overlay/PillRow.h"
#include "Overlay/PinButton.h"
#include "Overlay/StatusLED.h"
#include "Overlay/Waveform.h"
#include "WaitUntil.h"

#include <QEnterEvent>
#include <QWindow>
#include <QSet>
#include <QScreen>

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

// `color`, at its own opacity, over the black island.
QColor overBlack(const QColor& color)
{
    return QColor::fromRgbF(color.redF() * color.alphaF(), color.greenF() * color.alphaF(),
                            color.blueF() * color.alphaF());
}

bool closeTo(QRgb pixel, const QColor& expected)
{
    return std::abs(qRed(pixel) - expected.red()) <= 3 && std::abs(qGreen(pixel) - expected.green()) <= 3
           && std::abs(qBlue(pixel) - expected.blue()) <= 3 && qAlpha(pixel) == 255;
}

// The one button of that kind the island shows now; none when it shows
// none or several.
template<typename Button>
Button* onlyShown(QWidget& view)
{
    settleWidgets();
    const auto buttons = shownInReadingOrder<Button>(view);
    return buttons.size() == 1 ? buttons.front() : nullptr;
}

void click(QAbstractButton* button)
{
    ASSERT_NE(button, nullptr);
    button->click();
}

// Paints what is marked dirty, as the window system's next frame would.
void paintNextFrame(QWidget& window)
{
    settleWidgets();
    QEvent nextFrame(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(&window, &nextFrame);
}

// Collects the widgets painted while it exists.
struct PaintRecorder final : QObject {
    PaintRecorder() { QCoreApplication::instance()->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted.insert(watched);
        return false;
    }
    QSet<QObject*> painted;
};

class IslandOverlayViewTest : public ::testing::Test {
protected:
    std::shared_ptr<ManualTickerClock> clock_ = std::make_shared<ManualTickerClock>();
    OverlayViewModel model{clock_};
};

TEST_F(IslandOverlayViewTest, EachStateDrawsItsShapeTextsAndControls)
{
    struct Case {
        const char* name;
        DictationState state;
        QString partial = {};
        QString finalText = {};
        QString polished = {};
        QString warning = {};
        bool leftOnClipboard = false;
        bool delivering = false;
        QString scene = QStringLiteral("general");
        QString mode = QStringLiteral("hold");
        qint64 elapsed = 0;
        QSize size;
        QStringList texts;
        QStringList controls = {};
        // The status dot's colour; invalid where none shows.
        QColor led = {};
        bool waveform = false;
        QColor border = OverlayTheme::white(0.06);
        // Whether the segmented progress shows behind the row.
        bool progress = false;
    };
    const QString heard = QStringLiteral("今天天气不错");
    const QString polished = QStringLiteral("今天天气不错。");
    const QString tooLong
        = QStringLiteral("服务暂时不可用，请稍后重试。如果问题持续出现，请在设置中查看诊断信息并联系我们");
    const std::array cases {
        Case { .name = "idle",
            .state = DictationState::idle(),
            .size = { 110, 26 },
            .texts = { QStringLiteral("准备") },
            .led = OverlayTheme::white(0.4) },
        Case { .name = "recording",
            .state = DictationState::recording(),
            .elapsed = 59'999,
            .size = { 326, 32 },
            .texts = { QStringLiteral("听你说"), QStringLiteral("0:59") },
            .controls = { QStringLiteral("取消本次输入"), QStringLiteral("按住录音") },
            .led = OverlayTheme::record(),
            .waveform = true },
        Case { .name = "recording-code-toggle",
            .state = DictationState::recording(),
            .partial = heard,
            .scene = QStringLiteral("code"),
            .mode = QStringLiteral("toggle"),
            .elapsed = 60'000,
            .size = { 326, 32 },
            .texts = { heard, QStringLiteral("1:00") },
            .controls = { QStringLiteral("取消本次输入"), QStringLiteral("停止录音") },
            .led = OverlayTheme::codeAccent(),
            .waveform = true },
        Case { .name = "recording-capitalised-scene-and-mode",
            .state = DictationState::recording(),
            .scene = QStringLiteral("Email"),
            .mode = QStringLiteral("Toggle"),
            .size = { 326, 32 },
            .texts = { QStringLiteral("听你说"), QStringLiteral("0:00") },
            .controls = { QStringLiteral("取消本次输入"), QStringLiteral("按住录音") },
            .led = OverlayTheme::record(),
            .waveform = true },
        Case { .name = "recording-warning",
            .state = DictationState::recording(),
            .warning = QStringLiteral("即将超时，1 分钟后自动结束"),
            .elapsed = 300'000,
            .size = { 378, 32 },
            .texts = { QStringLiteral("即将超时，1 分钟后自动结束"), QStringLiteral("5:00") },
            .controls = { QStringLiteral("取消本次输入"), QStringLiteral("按住录音") },
            .led = OverlayTheme::warn(),
            .waveform = true,
            .border = OverlayTheme::withOpacity(OverlayTheme::warn(), 0.55) },
        Case { .name = "transcribing-thinking",
            .state = DictationState::transcribing(),
            .size = { 126, 32 },
            .texts = { QStringLiteral("思考中") },
            .controls = { QStringLiteral("取消本次输入") },
            .progress = true },
        Case { .name = "transcribing-partial",
            .state = DictationState::transcribing(),
            .partial = heard,
            .size = { 292, 32 },
            .texts = { heard },
            .controls = { QStringLiteral("取消本次输入") },
            .led = OverlayTheme::polish(),
            .progress = true },
        Case { .name = "polishing",
            .state = DictationState::polishing(),
            .finalText = heard,
            .size = { 380, 126 },
            .texts = { QStringLiteral("润色中"), QStringLiteral("原文"), heard },
            .controls = { QStringLiteral("取消本次输入") },
            .led = OverlayTheme::polish() },
        Case { .name = "inserting",
            .state = DictationState::inserting(),
            .finalText = heard,
            .polished = polished,
            .size = { 380, 126 },
            .texts = { QStringLiteral("写入"), QStringLiteral("原文"), heard, QStringLiteral("润色"), polished },
            .controls = { QStringLiteral("取消本次输入") },
            .led = OverlayTheme::polish() },
        Case { .name = "done-with-text",
            .state = DictationState::done(),
            .polished = polished,
            .size = { 380, 126 },
            .texts = { QStringLiteral("已插入"), QStringLiteral("润色"), polished },
            .controls = { QStringLiteral("固定") },
            .led = OverlayTheme::success() },
        // Nothing is claimed, and nothing pinned, before the text is in.
        Case { .name = "done-while-delivering",
            .state = DictationState::done(),
            .polished = polished,
            .delivering = true,
            .size = { 380, 126 },
            .texts = { QStringLiteral("写入"), QStringLiteral("润色"), polished },
            .led = OverlayTheme::polish() },
        Case { .name = "done-left-on-clipboard",
            .state = DictationState::done(),
            .polished = polished,
            .leftOnClipboard = true,
            .size = { 380, 126 },
            .texts = { QStringLiteral("已复制到剪贴板"), QStringLiteral("润色"), polished },
            .controls = { QStringLiteral("固定") },
            .led = OverlayTheme::warn() },
        Case { .name = "done-without-text",
            .state = DictationState::done(),
            .size = { 164, 32 },
            .texts = { QStringLiteral("已插入") },
            .controls = { QStringLiteral("固定") } },
        Case { .name = "cancelled",
            .state = DictationState::cancelled(),
            .size = { 160, 32 },
            .texts = { QStringLiteral("已取消") },
            .led = OverlayTheme::white(0.35),
            .border = OverlayTheme::white(0.12 * 0.6) },
        Case { .name = "failed-without-reason",
            .state = DictationState::failed(QString()),
            .size = { 260, 32 },
            .texts = { QStringLiteral("出错") },
            .controls = { QStringLiteral("重试") },
            .led = OverlayTheme::danger(),
            .border = OverlayTheme::withOpacity(OverlayTheme::danger(), 0.55) },
        Case { .name = "failed-with-reason",
            .state = DictationState::failed(QStringLiteral("积分余额不足，请升级或购买积分包")),
            .size = { 283, 32 },
            .texts = { QStringLiteral("积分余额不足，请升级或购买积分包") },
            .controls = { QStringLiteral("重试") },
            .led = OverlayTheme::danger(),
            .border = OverlayTheme::withOpacity(OverlayTheme::danger(), 0.55) },
        // Widens no further than the expanded island, and cuts the rest.
        Case { .name = "failed-with-a-long-reason",
            .state = DictationState::failed(tooLong),
            .size = { 380, 32 },
            .texts = { tooLong },
            .controls = { QStringLiteral("重试") },
            .led = OverlayTheme::danger(),
            .border = OverlayTheme::withOpacity(OverlayTheme::danger(), 0.55) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        model.state = c.state;
        model.partialText = c.partial;
        model.finalText = c.finalText;
        model.polishedText = c.polished;
        model.warning = c.warning;
        model.leftOnClipboard = c.leftOnClipboard;
        model.delivering = c.delivering;
        model.scene = c.scene;
        model.hotkeyMode = c.mode;
        model.elapsedMillis = c.elapsed;
        model.phaseElapsedMillis = 2'000;
        IslandOverlayView view(model);
        view.resize(view.panelSize(model.islandShape()).toSize());
        view.show();
        settleWidgets();
        if (auto* done = view.findChild<DoneRow*>(); done && done->isVisible()) {
            EXPECT_TRUE(waitUntil([&] { return done->checkProgress() == 1.0; }));
        }
        const QImage image = renderView(view, QStringLiteral("island-") + QLatin1String(c.name));

        EXPECT_EQ(image.size(), c.size);
        if (auto* pill = view.findChild<PillRow*>(); pill->isVisible()) {
            EXPECT_EQ(pill->height(), std::min(PillRow::rowHeight, c.size.height()));
        }
        for (auto* label : shownInReadingOrder<OverlayLabel>(view))
            EXPECT_TRUE(c.size.width() == IslandShape::expandedWidth
                        || label->linesForWidth(label->contentsRect().width()) == QStringList{label->text()})
                << "cut: " << label->text().toStdString();
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "the corner is outside the island";
        EXPECT_EQ(shownTexts(view), c.texts);
        EXPECT_EQ(shownControlTips(view), c.controls);
        const auto leds = shownInReadingOrder<StatusLED>(view);
        ASSERT_EQ(leds.size(), c.led.isValid() ? 1u : 0u);
        if (c.led.isValid()) {
            EXPECT_EQ(leds.front()->color(), c.led);
            EXPECT_EQ(leds.front()->isCancelled(), c.state == DictationState::cancelled());
        }
        const auto waveforms = shownInReadingOrder<Waveform>(view);
        ASSERT_EQ(waveforms.size(), c.waveform ? 1u : 0u);
        if (c.waveform) {
            EXPECT_EQ(waveforms.front()->color(), c.led);
        }
        const QRgb top = image.pixel(image.width() / 2, 0);
        EXPECT_TRUE(closeTo(top, overBlack(c.border))) << QColor(top).name().toStdString();
        const QColor behindRow
            = c.progress ? overBlack(OverlayTheme::withOpacity(OverlayTheme::record(), 0.24)) : QColor(Qt::black);
        const QRgb bottomLeft = image.pixel(image.width() / 5, image.height() - 3);
        EXPECT_TRUE(closeTo(bottomLeft, behindRow)) << QColor(bottomLeft).name().toStdString();
    }
}

// The ticker changes the model ten times a second while the user speaks.
TEST_F(IslandOverlayViewTest, ATickRepaintsOnlyTheWaveformAndAChangedClock)
{
    model.state = DictationState::recording();
    IslandOverlayView view(model);
    view.resize(326, 32);
    view.show();
    ASSERT_TRUE(waitUntil([&] { return view.windowHandle()->isExposed(); }));
    paintNextFrame(view);
    auto* waveform = view.findChild<Waveform*>();
    PaintRecorder paints;
    const auto tick = [&](qint64 millis, float level) {
        model.elapsedMillis = millis;
        model.pushRMS(level);
        paintNextFrame(view);
        EXPECT_TRUE(waitUntil([&] { return !waveform->isEasing(); }));
        paintNextFrame(view);
        return std::exchange(paints.painted, {});
    };
    EXPECT_EQ(tick(100, 0.05f), QSet<QObject*>{waveform});
    // A new clock text repaints the clock, with the ground below it, and nothing beside it.
    const QSet<QObject*> painted = tick(1000, 0.05f);
    for (QWidget* leaf : shownInReadingOrder(view, [](QWidget* w) { return w->children().isEmpty(); })) {
        const auto* label = qobject_cast<OverlayLabel*>(leaf);
        EXPECT_EQ(painted.contains(leaf), leaf == waveform || (label && label->text() == QStringLiteral("0:01")));
    }
    for (int i = 0; i < 15; ++i)
        tick(1100, 0);
    EXPECT_EQ(tick(1200, 0), QSet<QObject*>{}) << "silence after silence moves nothing";
}

TEST_F(IslandOverlayViewTest, ElapsedTimeIsWholeMinutesAndSeconds)
{
    struct Case {
        qint64 millis;
        QString text;
    };
    const std::array cases {
        Case { 0, QStringLiteral("0:00") },
        Case { 59'999, QStringLiteral("0:59") },
        Case { 60'000, QStringLiteral("1:00") },
        Case { 75'400, QStringLiteral("1:15") },
        Case { 3'599'999, QStringLiteral("59:59") },
        Case { 3'600'000, QStringLiteral("60:00") },
        Case { 6'000'000, QStringLiteral("100:00") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.millis);
        EXPECT_EQ(PillRow::elapsedText(c.millis), c.text);
    }
}

TEST_F(IslandOverlayViewTest, ButtonsRunTheModelsCallbacksAndHoverIsWrittenBack)
{
    IslandOverlayView view(model);
    view.resize(326, 32);
    view.show();
    model.state = DictationState::recording();
    // Without a callback the button does nothing.
    click(onlyShown<CancelButton>(view));
    int cancels = 0;
    int retries = 0;
    model.onCancel = [&] { ++cancels; };
    model.onRetry = [&] { ++retries; };
    click(onlyShown<CancelButton>(view));
    model.state = DictationState::transcribing();
    click(onlyShown<CancelButton>(view));
    EXPECT_EQ(cancels, 2);

    model.state = DictationState::failed(QString());
    click(onlyShown<ActionPill>(view));
    EXPECT_EQ(retries, 1);

    model.state = DictationState::done();
    model.finalText = QStringLiteral("好的");
    PinButton* pin = onlyShown<PinButton>(view);
    ASSERT_NE(pin, nullptr);
    click(pin);
    EXPECT_TRUE(model.isPinned.value());
    settleWidgets();
    EXPECT_EQ(pin->toolTip(), QStringLiteral("取消固定"));
    click(pin);
    EXPECT_FALSE(model.isPinned.value());

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(model.isHovering.value());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&view, &leave);
    EXPECT_FALSE(model.isHovering.value());
    EXPECT_EQ(cancels, 2);
}

TEST_F(IslandOverlayViewTest, CheckMarkRedrawsItselfEachTimeItAppears)
{
    // On the wall clock a loaded machine could let the mark finish unseen.
    ManualAnimationDriver animations;
    model.state = DictationState::done();
    IslandOverlayView view(model);
    view.resize(164, 32);
    view.show();
    auto* done = view.findChild<DoneRow*>();
    ASSERT_NE(done, nullptr);
    EXPECT_LT(done->checkProgress(), 1.0);
    settleWidgets();
    animations.step(1s);
    EXPECT_EQ(done->checkProgress(), 1.0);

    model.state = DictationState::recording();
    settleWidgets();
    model.state = DictationState::done();
    settleWidgets();
    EXPECT_LT(done->checkProgress(), 1.0);
}

TEST_F(IslandOverlayViewTest, RecognisedTextStopsAtThreeLinesWhileThePolishedTextScrolls)
{
    model.state = DictationState::done();
    model.finalText = QStringLiteral("这是一段很长的原文，").repeated(12);
    model.polishedText = QStringLiteral("这是一段很长的润色文字。").repeated(30);
    IslandOverlayView view(model);
    view.resize(model.islandShape().panelSize().toSize());
    view.show();
    settleWidgets();
    renderView(view, QStringLiteral("island-done-long-text"));

    OverlayLabel* finalLabel = nullptr;
    OverlayLabel* polishedLabel = nullptr;
    for (OverlayLabel* label : shownInReadingOrder<OverlayLabel>(view)) {
        if (label->text() == model.finalText.value())
            finalLabel = label;
        if (label->text() == model.polishedText.value())
            polishedLabel = label;
    }
    ASSERT_NE(finalLabel, nullptr);
    ASSERT_NE(polishedLabel, nullptr);
    const QStringList finalLines = finalLabel->linesForWidth(finalLabel->width());
    ASSERT_EQ(finalLines.size(), 3);
    EXPECT_TRUE(finalLines.last().endsWith(QStringLiteral("…"))) << finalLines.last().toStdString();
    EXPECT_GT(polishedLabel->linesForWidth(polishedLabel->width()).size(), 3);
    EXPECT_FALSE(polishedLabel->linesForWidth(polishedLabel->width()).last().endsWith(QStringLiteral("…")));
    EXPECT_GT(polishedLabel->mapTo(&view, QPoint(0, polishedLabel->height())).y(), view.height())
        << "the polished text runs on below the island, to be scrolled to";
}

// The window system shows what the island painted last: every frame of
// the rows' entrance must repaint what it moved away from.
TEST_F(IslandOverlayViewTest, RowsEnterWithoutLeavingTraces)
{
    ManualAnimationDriver animations;
    model.state = DictationState::transcribing();
    IslandOverlayView view(model);
    view.resize(380, 126);
    view.show();
    model.finalText = QStringLiteral("今天天气不错，我们出去走走吧");
    model.polishedText = QStringLiteral("今天天气不错，我们出去走走吧。");
    model.state = DictationState::done();
    for (int frame = 1; frame <= 60; ++frame) {
        animations.step(16ms);
        paintNextFrame(view);
        const QImage shown = view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
        const QImage clean = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        for (const QRect& area : view.mask())
            ASSERT_TRUE(shown.copy(area) == clean.copy(area)) << "frame " << frame;
    }
}

// The mark in a 100 x 100 frame at (10, 20) runs from (26, 72) down to
// (52, 96), 35.4 long, then up to (94, 42), 68.4 long.
TEST_F(IslandOverlayViewTest, CheckMarkIsTrimmedToItsProgress)
{
    struct Case {
        double progress;
        int elements;
        QPointF end;
    };
    const std::array cases{
        Case{0, 0, {}},
        Case{0.2, 2, {41.254, 86.080}},
        Case{0.5, 3, {62.138, 82.965}},
        Case{1, 3, {94, 42}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.progress);
        const QPainterPath path = CheckMarkShape::path(QRectF(10, 20, 100, 100), c.progress);
        ASSERT_EQ(path.elementCount(), c.elements);
        if (c.elements == 0)
            continue;
        EXPECT_NEAR(path.currentPosition().x(), c.end.x(), 1e-3);
        EXPECT_NEAR(path.currentPosition().y(), c.end.y(), 1e-3);
    }
}

} // namespace
} // namespace vellamor::test
