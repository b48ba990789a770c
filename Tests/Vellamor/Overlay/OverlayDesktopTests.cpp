#include "DesktopTest.h"
#include "QtPrinters.h"
#include "WidgetRendering.h"

#include "Overlay/PillRow.h"
#include "Overlay/RecordingOverlayController.h"
#include "Platform/Pasteboard/X11SelectionBroker.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPropertyAnimation>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

#include <gmock/gmock.h>

#include <algorithm>
#include <memory>
#include <optional>

#include <signal.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

// The window the window manager names as active (_NET_ACTIVE_WINDOW).
QString activeWindow()
{
    QProcess query;
    query.start(QStringLiteral("xdotool"), { QStringLiteral("getactivewindow") });
    query.waitForFinished(static_cast<int>(hangCeiling.count()));
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

bool shownOnScreen(QWidget* window)
{
    return window && window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed();
}

// Its fade has run its course and its resize has brought it where the last
// one was headed: its buttons stay where they are clicked.
bool atRest(QWidget* window)
{
    const auto animations = window->findChildren<QPropertyAnimation*>();
    return std::all_of(animations.begin(), animations.end(), [window](const QPropertyAnimation* animation) {
        return animation->state() == QAbstractAnimation::Stopped
            && (animation->propertyName() != "geometry"
                || (animation->endValue().isValid() && window->geometry() == animation->endValue().toRect()));
    });
}

// Kept out of task bars and pagers, and on top (_NET_WM_STATE).
bool keptOutOfWindowLists(QWidget* window)
{
    QProcess query;
    query.start(QStringLiteral("xprop"),
        { QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("_NET_WM_STATE") });
    query.waitForFinished(static_cast<int>(hangCeiling.count()));
    const QString states = QString::fromUtf8(query.readAllStandardOutput());
    return states.contains(QStringLiteral("SKIP_TASKBAR")) && states.contains(QStringLiteral("SKIP_PAGER"))
        && states.contains(QStringLiteral("ABOVE"));
}

// Holds the window manager still for its life: what the X server gives it
// meanwhile waits until the window manager resumes, as on a busy machine.
class WindowManagerPause {
public:
    WindowManagerPause()
        : pid_(qEnvironmentVariableIntValue("VELLAMOR_WINDOW_MANAGER_PID"))
    {
        paused_ = pid_ > 0 && kill(pid_, SIGSTOP) == 0;
    }
    ~WindowManagerPause()
    {
        if (paused_)
            kill(pid_, SIGCONT);
    }
    WindowManagerPause(const WindowManagerPause&) = delete;
    WindowManagerPause& operator=(const WindowManagerPause&) = delete;

    bool paused() const { return paused_; }

private:
    pid_t pid_;
    bool paused_ = false;
};

// Clicks the shown button of `window` with this tooltip or title.
bool click(QWidget* window, const QString& name)
{
    for (auto* button : window->findChildren<QAbstractButton*>()) {
        const QPoint at = button->mapToGlobal(button->rect().center());
        if (button->isVisible() && (button->toolTip() == name || button->text() == name))
            return xdotool({ QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(at.x()),
                QString::number(at.y()), QStringLiteral("click"), QStringLiteral("1") });
    }
    return false;
}

bool type(const QString& text)
{
    return xdotool({ QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text });
}

// What the screen shows of `window` now.
QImage onScreen(QWidget* window)
{
    const QRect frame = window->geometry();
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The caption column of the island's text rows, below its status line.
constexpr int captionLeft = 14;
constexpr int captionRight = 50;

// The first line of an island frame where the polish-coloured caption of
// the polished row shows.
std::optional<int> polishedCaptionTop(const QImage& frame)
{
    for (int y = PillRow::rowHeight; y < frame.height(); ++y) {
        for (int x = captionLeft; x < std::min(captionRight, frame.width()); ++x) {
            const QColor pixel = frame.pixelColor(x, y);
            if (pixel.blue() - pixel.green() > 40)
                return y;
        }
    }
    return std::nullopt;
}

// Whether the grey recognised row shows between the status line and the
// polished row's caption at `polishedTop` (whose text reaches a little higher).
bool recognisedRowAbove(const QImage& frame, int polishedTop)
{
    int grey = 0;
    for (int y = PillRow::rowHeight; y < polishedTop - 4; ++y) {
        for (int x = captionLeft; x < frame.width() - captionLeft; ++x) {
            const QColor pixel = frame.pixelColor(x, y);
            const int spread = std::max({ pixel.red(), pixel.green(), pixel.blue() })
                - std::min({ pixel.red(), pixel.green(), pixel.blue() });
            if (spread < 10 && pixel.red() > 40)
                ++grey;
        }
    }
    return grey > 20;
}

class OverlayDesktopTest : public DesktopTest {
protected:
    // Its clocks' last wake-ups run on the loop.
    void TearDown() override
    {
        controller_.reset();
        runEventLoopFor(200ms);
        DesktopTest::TearDown();
    }

    std::unique_ptr<RecordingOverlayController> controller_ = std::make_unique<RecordingOverlayController>(
        std::make_shared<platform::X11SelectionBroker>());
};

TEST_F(OverlayDesktopTest, IslandAndPinnedPanelLeaveTheFocusWithTheTargetWindow)
{
    QWidget target;
    auto* field = new QLineEdit(&target);
    (new QVBoxLayout(&target))->addWidget(field);
    target.setGeometry(200, 400, 420, 80);
    target.show();
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(&target); }));
    const QString targetWindow = QString::number(target.winId());
    ASSERT_TRUE(xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), targetWindow }));
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == targetWindow && field->hasFocus(); }));

    RecordingOverlayController& controller = *controller_;
    OverlayViewModel& model = controller.viewModel();
    controller.show();
    model.state = DictationState::recording();
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(controller.panel()) && atRest(controller.panel()); }));
    ASSERT_TRUE(afterWindowManager());
    EXPECT_EQ(activeWindow(), targetWindow);
    ASSERT_TRUE(type(QStringLiteral("abc")));
    EXPECT_TRUE(waitUntil([&] { return field->text() == QStringLiteral("abc"); })) << field->text().toStdString();

    // A click on the island's cancel button reaches it and leaves the focus.
    int cancels = 0;
    model.onCancel = [&] { ++cancels; };
    ASSERT_TRUE(click(controller.panel(), QStringLiteral("取消本次输入")));
    EXPECT_TRUE(waitUntil([&] { return cancels == 1; }));
    EXPECT_EQ(activeWindow(), targetWindow);
    controller.hide(0ms);
    ASSERT_TRUE(waitUntil([&] { return !controller.panel()->isVisible(); }));

    // The pinned card's buttons work by click, and its panel is no more activated.
    QStringList inserted;
    controller.onInsertText = [&](const QString& text) { inserted.append(text); };
    model.finalText = QStringLiteral("明天见");
    model.state = DictationState::done();
    controller.show();
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(controller.panel()) && atRest(controller.panel()); }));
    model.isPinned = true;
    controller.show();
    model.state = DictationState::recording();
    ASSERT_EQ(controller.pinnedPanels().size(), 1);
    QWidget* pinned = controller.pinnedPanels().front();
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(pinned); }));
    ASSERT_TRUE(afterWindowManager());
    EXPECT_TRUE(keptOutOfWindowLists(pinned));
    EXPECT_TRUE(keptOutOfWindowLists(controller.panel())) << "after the island was hidden and shown again";
    ASSERT_TRUE(click(pinned, QStringLiteral("插入")));
    EXPECT_TRUE(waitUntil([&] { return inserted == QStringList { QStringLiteral("明天见") }; }));
    ASSERT_TRUE(click(pinned, QStringLiteral("复制")));
    EXPECT_TRUE(waitUntil([] { return QGuiApplication::clipboard()->text() == QStringLiteral("明天见"); }));
    EXPECT_EQ(activeWindow(), targetWindow);
    ASSERT_TRUE(type(QStringLiteral("d")));
    EXPECT_TRUE(waitUntil([&] { return field->text() == QStringLiteral("abcd"); })) << field->text().toStdString();
}

// A new dictation can show the island again before the window manager has
// taken in that the last one hid it; letting go of a window, it clears the
// states the window carries.
TEST_F(OverlayDesktopTest, TheIslandShownAgainBeforeTheWindowManagerLetItGoKeepsItsStates)
{
    RecordingOverlayController& controller = *controller_;
    controller.show();
    controller.viewModel().state = DictationState::recording();
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(controller.panel()); }));
    ASSERT_TRUE(afterWindowManager());
    {
        const WindowManagerPause pause;
        ASSERT_TRUE(pause.paused()) << "cannot pause the window manager (VELLAMOR_WINDOW_MANAGER_PID)";
        controller.hide(0ms);
        ASSERT_TRUE(waitUntil([&] { return !controller.panel()->isVisible(); }));
        controller.show();
        ASSERT_TRUE(controller.panel()->isVisible());
    }
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(controller.panel()); }));
    ASSERT_TRUE(afterWindowManager());
    EXPECT_TRUE(keptOutOfWindowLists(controller.panel()));
}

// The recogniser's final and polished texts arrive on consecutive turns, as
// they do at the end of a session: the island never shows the polished row
// without the recognised one above it.
TEST_F(OverlayDesktopTest, TheFinishedIslandShowsBothTextRowsInTheSameFrame)
{
    RecordingOverlayController& controller = *controller_;
    OverlayViewModel& model = controller.viewModel();
    controller.show();
    model.state = DictationState::recording();
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(controller.panel()); }));
    model.partialText = QStringLiteral("明天下午三点");
    model.state = DictationState::transcribing();
    ASSERT_TRUE(waitUntil([&] { return controller.panel()->width() > 200; }));

    model.finalText = QStringLiteral("明天下午三点开会");
    model.state = DictationState::polishing();
    settleWidgets();
    model.polishedText = QStringLiteral("明天下午三点开会。");
    model.state = DictationState::inserting();
    settleWidgets();
    model.state = DictationState::done();

    QImage frame;
    std::optional<int> polishedTop;
    ASSERT_TRUE(waitUntil([&] {
        frame = onScreen(controller.panel());
        polishedTop = polishedCaptionTop(frame);
        return polishedTop.has_value();
    }));
    saveScreenshot(frame, QStringLiteral("island-first-polished-frame"));
    EXPECT_TRUE(recognisedRowAbove(frame, *polishedTop));
}

} // namespace
} // namespace vellamor::test
