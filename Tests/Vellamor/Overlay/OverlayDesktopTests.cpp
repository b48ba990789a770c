#include "DesktopTest.h"
#include "QtPrinters.h"

#include "Overlay/RecordingOverlayController.h"

#include <QLineEdit>
#include <QProcess>
#include <QVBoxLayout>
#include <QWindow>

#include <gmock/gmock.h>

#include <memory>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

// The window the window manager names as active (_NET_ACTIVE_WINDOW).
QString activeWindow()
{
    QProcess query;
    query.start(u"xdotool"_s, {u"getactivewindow"_s});
    query.waitForFinished(5000);
    return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

bool shownOnScreen(QWidget* window)
{
    return window && window->isVisible() && window->windowHandle() && window->windowHandle()->isExposed();
}

bool type(const QString& text)
{
    return xdotool({u"type"_s, u"--delay"_s, u"20"_s, text});
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

    std::unique_ptr<RecordingOverlayController> controller_ = std::make_unique<RecordingOverlayController>(nullptr);
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
    ASSERT_TRUE(xdotool({u"windowactivate"_s, u"--sync"_s, targetWindow}));
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == targetWindow && field->hasFocus(); }));

    RecordingOverlayController& controller = *controller_;
    OverlayViewModel& model = controller.viewModel();
    controller.show();
    model.state = DictationState::recording();
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(controller.panel()); }));
    runEventLoopFor(600ms);
    EXPECT_EQ(activeWindow(), targetWindow);
    ASSERT_TRUE(type(u"abc"_s));
    EXPECT_TRUE(waitUntil([&] { return field->text() == u"abc"_s; })) << field->text().toStdString();

    // The window manager neither activates a pinned result's panel when it
    // is clicked. (This desktop's window manager keeps synthetic clicks from
    // every client, so whether the button sees it is not told here.)
    model.finalText = u"明天见"_s;
    model.state = DictationState::done();
    runEventLoopFor(600ms);
    model.isPinned = true;
    controller.show();
    model.state = DictationState::recording();
    ASSERT_EQ(controller.pinnedPanels().size(), 1);
    QWidget* pinned = controller.pinnedPanels().front();
    ASSERT_TRUE(waitUntil([&] { return shownOnScreen(pinned); }));
    const QPoint centre = pinned->geometry().center();
    ASSERT_TRUE(xdotool({u"mousemove"_s, u"--sync"_s, QString::number(centre.x()), QString::number(centre.y())}));
    ASSERT_TRUE(xdotool({u"click"_s, u"1"_s}));
    runEventLoopFor(300ms);
    EXPECT_EQ(activeWindow(), targetWindow);
    ASSERT_TRUE(type(u"d"_s));
    EXPECT_TRUE(waitUntil([&] { return field->text() == u"abcd"_s; })) << field->text().toStdString();
}

} // namespace
} // namespace vellamor::test
