#include "DesktopTest.h"
#include "HotkeyFormatKeys.h"
#include "HotkeyTestEvents.h"
#include "QtPrinters.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"

#include "Hotkey/HotkeyError.h"
#include "Hotkey/HotkeyMonitor.h"
#include "Hotkey/MainThreadHotkeyScheduler.h"
#include "Platform/KeySource/KeySourceError.h"
#include "Platform/KeySource/X11KeySource.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWindow>
#include <QWidget>

#include <gmock/gmock.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace vellamor::test {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;

const ModifierFlags ctrlShift = modifierFlag::control | modifierFlag::shift;

QString arg(const char* text)
{
    return QString::fromLatin1(text);
}

// Remembers every key press that reaches a widget.
class KeyPressRecorder : public QObject {
public:
    struct Press {
        int key;
        Qt::KeyboardModifiers modifiers;
    };

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* keyEvent = static_cast<QKeyEvent*>(event);
            presses.push_back({keyEvent->key(), keyEvent->modifiers()});
        }
        return QObject::eventFilter(watched, event);
    }

    int count(int key) const
    {
        return static_cast<int>(
            std::count_if(presses.begin(), presses.end(), [key](const Press& p) { return p.key == key; }));
    }

    std::vector<Press> presses;
};

class X11HotkeyTest : public DesktopTest {
protected:
    std::unique_ptr<HotkeyMonitor> makeMonitor()
    {
        return std::make_unique<HotkeyMonitor>(
            std::make_unique<platform::X11KeySource>(), std::make_unique<MainThreadHotkeyScheduler>(),
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey"), systemLog_, nullptr));
    }

    HotkeyMonitor::EventHandler recorder()
    {
        return [this](const HotkeyEvent& event) { events_.push_back(event); };
    }

    bool waitForEvents(std::size_t count)
    {
        return waitUntil([&] { return events_.size() >= count; }, 3s);
    }

    // Right Ctrl down for `ms` milliseconds, as a user would press it.
    static bool tapRightCtrl(int ms)
    {
        return xdotool({arg("keydown"), arg("Control_R"), arg("sleep"), QString::number(ms / 1000.0),
                        arg("keyup"), arg("Control_R")});
    }

    QStringList logLines() const
    {
        QStringList lines;
        for (const auto& entry : systemLog_->entries())
            lines << entry.publicPart;
        return lines;
    }

    std::shared_ptr<RecordingSystemLog> systemLog_ = std::make_shared<RecordingSystemLog>();
    std::vector<HotkeyEvent> events_;
};

TEST_F(X11HotkeyTest, RightCtrlTapsToggleOnThenOff)
{
    auto monitor = makeMonitor();
    monitor->start(HotkeyMode::toggle, std::nullopt, recorder());
    ASSERT_TRUE(tapRightCtrl(100));
    ASSERT_TRUE(waitForEvents(1));
    ASSERT_TRUE(tapRightCtrl(100));
    ASSERT_TRUE(waitForEvents(2));
    runEventLoopFor(100ms);
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true), HotkeyEvent::toggled(false)));
}

TEST_F(X11HotkeyTest, RightCtrlHeldPressesThenReleasesInHoldMode)
{
    auto monitor = makeMonitor();
    monitor->start(HotkeyMode::hold, std::nullopt, recorder());
    ASSERT_TRUE(tapRightCtrl(400));
    ASSERT_TRUE(waitForEvents(2));
    runEventLoopFor(100ms);
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::pressed(), HotkeyEvent::released()));
}

TEST_F(X11HotkeyTest, CombinationHeldPastAutoRepeatReleasesOnce)
{
    auto monitor = makeMonitor();
    monitor->start(HotkeyMode::hold, ParsedCombo{virtualKey::k, ctrlShift, false, QStringLiteral("k")}, recorder());
    // Xvfb auto-repeats a held K after 660 ms; the repeats must not read as
    // releases and presses.
    ASSERT_TRUE(xdotool({arg("keydown"), arg("ctrl+shift+k"), arg("sleep"), arg("1.2"), arg("keyup"), arg("k"),
                         arg("keyup"), arg("ctrl+shift")}));
    ASSERT_TRUE(waitForEvents(2));
    runEventLoopFor(100ms);
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::pressed(), HotkeyEvent::released()));
}

TEST_F(X11HotkeyTest, RightCtrlUsedAsModifierDoesNotToggle)
{
    auto monitor = makeMonitor();
    monitor->start(HotkeyMode::toggle, std::nullopt, recorder());
    ASSERT_TRUE(xdotool({arg("keydown"), arg("Control_R"), arg("key"), arg("c"), arg("keyup"), arg("Control_R")}));
    ASSERT_TRUE(tapRightCtrl(80));
    ASSERT_TRUE(waitForEvents(1));
    runEventLoopFor(100ms);
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true)));
}

TEST_F(X11HotkeyTest, InjectedKeysAreIgnoredOnlyWhileInjecting)
{
    auto monitor = makeMonitor();
    monitor->start(HotkeyMode::toggle, std::nullopt, recorder());
    monitor->setIgnoringSyntheticInput(true);
    ASSERT_TRUE(tapRightCtrl(80));
    runEventLoopFor(300ms);
    EXPECT_TRUE(events_.empty());

    monitor->setIgnoringSyntheticInput(false);
    ASSERT_TRUE(tapRightCtrl(80));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true)));
}

TEST_F(X11HotkeyTest, GrabbedCombinationNeverReachesFocusedWindow)
{
    QWidget window;
    auto* field = new QLineEdit(&window);
    (new QVBoxLayout(&window))->addWidget(field);
    KeyPressRecorder presses;
    field->installEventFilter(&presses);
    window.resize(300, 80);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }));
    ASSERT_TRUE(xdotool({arg("windowactivate"), arg("--sync"), QString::number(window.winId())}));
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow() && field->hasFocus(); }));

    auto monitor = makeMonitor();
    monitor->start(HotkeyMode::toggle, ParsedCombo{virtualKey::k, ctrlShift, false, QStringLiteral("k")},
                   recorder());
    ASSERT_TRUE(xdotool({arg("key"), arg("ctrl+shift+k")}));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true)));

    // A plain K still arrives, so the window was listening all along.
    ASSERT_TRUE(xdotool({arg("key"), arg("k")}));
    ASSERT_TRUE(waitUntil([&] { return field->text() == QStringLiteral("k"); }));
    EXPECT_EQ(presses.count(Qt::Key_K), 1);

    // Without the grab the same combination reaches the window.
    monitor->stop();
    ASSERT_TRUE(xdotool({arg("key"), arg("ctrl+shift+k")}));
    ASSERT_TRUE(waitUntil([&] { return presses.count(Qt::Key_K) == 2; }));
    EXPECT_EQ(presses.presses.back().modifiers, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true)));
}

TEST_F(X11HotkeyTest, CombinationHeldByAnotherClientFailsStart)
{
    platform::X11KeySource otherClient;
    otherClient.start(platform::KeyGrab{virtualKey::k, ctrlShift}, [](const KeyEvent&) { return false; });

    auto monitor = makeMonitor();
    const ParsedCombo combo{virtualKey::k, ctrlShift, false, QStringLiteral("k")};
    EXPECT_THROW(monitor->start(HotkeyMode::toggle, combo, recorder()), HotkeyError);
    EXPECT_FALSE(monitor->isStarted());
    EXPECT_THAT(logLines().join(QLatin1Char('\n')).toStdString(),
                ::testing::HasSubstr("hotkey key source failed: grabRefused("));

    otherClient.stop();
    EXPECT_NO_THROW(monitor->start(HotkeyMode::toggle, combo, recorder()));
    EXPECT_TRUE(monitor->isStarted());
}

TEST_F(X11HotkeyTest, StopReleasesGrabForNextStart)
{
    const ParsedCombo combo{virtualKey::k, ctrlShift, false, QStringLiteral("k")};
    auto first = makeMonitor();
    first->start(HotkeyMode::toggle, combo, recorder());
    first->stop();
    auto second = makeMonitor();
    EXPECT_NO_THROW(second->start(HotkeyMode::toggle, combo, recorder()));
}

class X11KeySourceTest : public DesktopTest {
protected:
    void startRecording(const std::optional<platform::KeyGrab>& grab = std::nullopt)
    {
        source_.start(grab, [this](const KeyEvent& event) {
            events_.push_back(event);
            return false;
        });
    }

    platform::X11KeySource source_;
    std::vector<KeyEvent> events_;
};

TEST_F(X11KeySourceTest, EveryFormatKeyArrivesWithItsVirtualCode)
{
    startRecording();
    QStringList arguments{arg("key"), arg("--delay"), arg("0")};
    std::vector<VirtualKeyCode> expected;
    for (const auto& key : formatKeys) {
        arguments << QString::fromLatin1(key.keysym);
        expected.push_back(key.code);
    }
    ASSERT_TRUE(xdotool(arguments));
    const auto keyDowns = [&] {
        std::vector<VirtualKeyCode> codes;
        for (const auto& event : events_) {
            if (event.type == KeyEventType::keyDown)
                codes.push_back(event.keyCode);
        }
        return codes;
    };
    ASSERT_TRUE(waitUntil([&] { return keyDowns().size() >= expected.size(); }));
    EXPECT_EQ(keyDowns(), expected);
}

TEST_F(X11KeySourceTest, ModifierKeysAreFlagsChanges)
{
    startRecording();
    // By X key code: given key names, xdotool also presses the first key of
    // the same modifier (Control_L for Control_R). Super_L 133, Alt_L 64,
    // Shift_L 50, Control_R 105, k 45 on the US keymap.
    ASSERT_TRUE(xdotool({arg("keydown"), arg("133"), arg("keydown"), arg("64"), arg("keydown"), arg("50"),
                         arg("keydown"), arg("105"), arg("key"), arg("45"), arg("keyup"), arg("50"), arg("keyup"),
                         arg("105"), arg("keyup"), arg("64"), arg("keyup"), arg("133")}));
    ASSERT_TRUE(waitUntil([&] { return events_.size() >= 10; }));
    runEventLoopFor(100ms);

    const ModifierFlags all = modifierFlag::command | modifierFlag::option | modifierFlag::shift | rightCtrlFlags;
    const KeyEvent expected[] = {
        modifierDown(0, virtualKey::command, modifierFlag::command),
        modifierDown(0, virtualKey::option, modifierFlag::command | modifierFlag::option),
        modifierDown(0, virtualKey::shift, modifierFlag::command | modifierFlag::option | modifierFlag::shift),
        modifierDown(0, virtualKey::rightControl, all),
        keyDown(0, virtualKey::k, all),
        keyUp(0, virtualKey::k, all),
        modifierUp(0, virtualKey::shift, all & ~modifierFlag::shift),
        modifierUp(0, virtualKey::rightControl, modifierFlag::command | modifierFlag::option),
        modifierUp(0, virtualKey::option, modifierFlag::command),
        modifierUp(0, virtualKey::command, 0),
    };
    ASSERT_EQ(events_.size(), std::size(expected));
    for (std::size_t i = 0; i < events_.size(); ++i) {
        SCOPED_TRACE(i);
        KeyEvent seen = events_[i];
        seen.time = std::chrono::milliseconds(0);
        EXPECT_EQ(seen, expected[i]);
    }
    // Server times: monotonic, in milliseconds.
    for (std::size_t i = 1; i < events_.size(); ++i)
        EXPECT_GE(events_[i].time, events_[i - 1].time);
}

TEST_F(X11KeySourceTest, GrabbedKeyIsStillObservedWhileGrabIsActive)
{
    startRecording(platform::KeyGrab{virtualKey::k, ctrlShift});
    ASSERT_TRUE(xdotool({arg("key"), arg("ctrl+shift+k")}));
    ASSERT_TRUE(waitUntil([&] {
        return std::any_of(events_.begin(), events_.end(), [](const KeyEvent& e) {
            return e.type == KeyEventType::keyUp && e.keyCode == virtualKey::k;
        });
    }));
}

TEST_F(X11KeySourceTest, RestartAfterStopObservesAgain)
{
    startRecording();
    source_.stop();
    EXPECT_FALSE(source_.isStarted());
    ASSERT_TRUE(xdotool({arg("key"), arg("j")}));
    runEventLoopFor(200ms);
    EXPECT_TRUE(events_.empty());

    startRecording();
    ASSERT_TRUE(xdotool({arg("key"), arg("j")}));
    ASSERT_TRUE(waitUntil([&] { return events_.size() >= 2; }));
    EXPECT_EQ(events_.front().keyCode, virtualKey::j);
}

} // namespace
} // namespace vellamor::test
