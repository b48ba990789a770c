#include "DesktopTest.h"
#include "HotkeyTestEvents.h"
#include "RecordingSystemLog.h"
#include "WaitUntil.h"

#include "Hotkey/HotkeyError.h"
#include "Hotkey/HotkeyMonitor.h"
#include "Platform/KeySource/X11KeySource.h"

#include <QLineEdit>
#include <QShortcut>
#include <QWindow>

#include <gmock/gmock.h>

#include <memory>
#include <thread>
#include <vector>

namespace vellamor::test {
namespace {

using ::testing::ElementsAre;
using namespace std::chrono_literals;

const ModifierFlags ctrlShift = modifierFlag::control | modifierFlag::shift;

const ParsedCombo ctrlShiftK{virtualKey::k, ctrlShift, false, QStringLiteral("k")};

// Every key a combination can name, by its X keysym on a US keyboard.
struct NamedKey {
    const char* keysym;
    VirtualKeyCode code;
};

constexpr NamedKey namedKeys[] = {
    {"a", 0},        {"b", 11},          {"c", 8},          {"d", 2},           {"e", 14},          {"f", 3},
    {"g", 5},        {"h", 4},           {"i", 34},         {"j", 38},          {"k", 40},          {"l", 37},
    {"m", 46},       {"n", 45},          {"o", 31},         {"p", 35},          {"q", 12},          {"r", 15},
    {"s", 1},        {"t", 17},          {"u", 32},         {"v", 9},           {"w", 13},          {"x", 7},
    {"y", 16},       {"z", 6},           {"0", 29},         {"1", 18},          {"2", 19},          {"3", 20},
    {"4", 21},       {"5", 23},          {"6", 22},         {"7", 26},          {"8", 28},          {"9", 25},
    {"space", 49},   {"Return", 36},     {"Tab", 48},       {"Escape", 53},     {"BackSpace", 51},  {"Left", 123},
    {"Right", 124},  {"Up", 126},        {"Down", 125},     {"F1", 122},        {"F2", 120},        {"F3", 99},
    {"F4", 118},     {"F5", 96},         {"F6", 97},        {"F7", 98},         {"F8", 100},        {"F9", 101},
    {"F10", 109},    {"F11", 103},       {"F12", 111},      {"minus", 27},      {"equal", 24},      {"bracketleft", 33},
    {"bracketright", 30}, {"semicolon", 41}, {"apostrophe", 39}, {"comma", 43}, {"period", 47},     {"slash", 44},
    {"backslash", 42}, {"grave", 50},
};

class X11HotkeyTest : public DesktopTest {
protected:
    void start(HotkeyMode mode, const std::optional<ParsedCombo>& combo = std::nullopt)
    {
        monitor_.start(mode, combo, [this](const HotkeyEvent& event) { events_.push_back(event); });
    }

    bool waitForEvents(std::size_t count)
    {
        return waitUntil([&] { return events_.size() >= count; });
    }

    // Right Ctrl down for `ms` milliseconds, as a user would press it.
    static bool tapRightCtrl(int ms)
    {
        return xdotool({ QStringLiteral("keydown"), QStringLiteral("Control_R"), QStringLiteral("sleep"),
            QString::number(ms / 1000.0), QStringLiteral("keyup"), QStringLiteral("Control_R") });
    }

    std::vector<HotkeyEvent> events_;
    Published<bool> toggle_{false};
    HotkeyMonitor monitor_{std::make_unique<platform::X11KeySource>(), toggle_};
};

TEST_F(X11HotkeyTest, RightCtrlTapTogglesUnlessUsedAsModifierAndStopEndsObservation)
{
    start(HotkeyMode::toggle);
    ASSERT_TRUE(xdotool({ QStringLiteral("keydown"), QStringLiteral("Control_R"), QStringLiteral("key"),
        QStringLiteral("c"), QStringLiteral("keyup"), QStringLiteral("Control_R") }));
    ASSERT_TRUE(tapRightCtrl(80));
    ASSERT_TRUE(waitForEvents(1));

    // A tap while stopped goes unseen, so the next one turns dictation off.
    monitor_.stop();
    ASSERT_TRUE(tapRightCtrl(80));
    start(HotkeyMode::toggle);
    ASSERT_TRUE(tapRightCtrl(80));
    // A later tap's toggle comes after anything the keys before it caused.
    ASSERT_TRUE(tapRightCtrl(80));
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_THAT(
        events_, ElementsAre(HotkeyEvent::toggled(true), HotkeyEvent::toggled(false), HotkeyEvent::toggled(true)));
}

TEST_F(X11HotkeyTest, CombinationHeldPastAutoRepeatReleasesOnce)
{
    start(HotkeyMode::hold, ctrlShiftK);
    // Xvfb auto-repeats a held K after 660 ms; the repeats must not read as
    // releases and presses.
    ASSERT_TRUE(xdotool(
        { QStringLiteral("keydown"), QStringLiteral("ctrl+shift+k"), QStringLiteral("sleep"), QStringLiteral("1.2"),
            QStringLiteral("keyup"), QStringLiteral("k"), QStringLiteral("keyup"), QStringLiteral("ctrl+shift") }));
    ASSERT_TRUE(waitForEvents(2));
    // A repeat read as a release and a press would look like a later press of
    // the combination, so no later key can mark the end: a while for strays.
    runEventLoopFor(100ms);
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::pressed(), HotkeyEvent::released()));
}

TEST_F(X11HotkeyTest, InjectedKeysAreIgnoredOnlyWhileInjecting)
{
    start(HotkeyMode::toggle);
    monitor_.setIgnoringSyntheticInput(true);
    ASSERT_TRUE(tapRightCtrl(80));
    // An ignored key leaves no trace to wait for: a while for a stray toggle.
    runEventLoopFor(300ms);
    EXPECT_TRUE(events_.empty());

    monitor_.setIgnoringSyntheticInput(false);
    ASSERT_TRUE(tapRightCtrl(80));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true)));
}

TEST_F(X11HotkeyTest, CombinationIsGrabbedOnceNoOtherClientHoldsItAndNeverReachesTheFocusedWindow)
{
    QLineEdit field;
    QShortcut shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), &field);
    int shortcutsSeen = 0;
    QObject::connect(&shortcut, &QShortcut::activated, [&] { ++shortcutsSeen; });
    field.show();
    ASSERT_TRUE(waitUntil([&] { return field.windowHandle() && field.windowHandle()->isExposed(); }));
    ASSERT_TRUE(
        xdotool({ QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(field.winId()) }));
    ASSERT_TRUE(waitUntil([&] { return field.isActiveWindow() && field.hasFocus(); }));

    // X refuses a grab another client holds (BadAccess).
    platform::X11KeySource otherClient;
    otherClient.start(platform::KeyGrab{virtualKey::k, ctrlShift}, [](const KeyEvent&) { return false; });
    EXPECT_THROW(start(HotkeyMode::toggle, ctrlShiftK), HotkeyError);
    EXPECT_FALSE(monitor_.isStarted());
    otherClient.stop();

    start(HotkeyMode::toggle, ctrlShiftK);
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+shift+k"), QStringLiteral("k") }));
    ASSERT_TRUE(waitForEvents(1));
    // The plain K arrives, so the window was listening all along.
    ASSERT_TRUE(waitUntil([&] { return field.text() == QStringLiteral("k"); }));
    EXPECT_EQ(shortcutsSeen, 0);

    // Without the grab the same combination reaches the window.
    monitor_.stop();
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("ctrl+shift+k") }));
    ASSERT_TRUE(waitUntil([&] { return shortcutsSeen == 1; }));
    EXPECT_THAT(events_, ElementsAre(HotkeyEvent::toggled(true)));
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

    std::vector<VirtualKeyCode> keyDowns() const
    {
        std::vector<VirtualKeyCode> codes;
        for (const KeyEvent& event : events_) {
            if (event.type == KeyEventType::keyDown)
                codes.push_back(event.keyCode);
        }
        return codes;
    }

    std::vector<KeyEvent> events_;
    platform::X11KeySource source_;
};

TEST_F(X11KeySourceTest, EveryNamedKeyArrivesWithItsVirtualCode)
{
    startRecording();
    QStringList arguments { QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("0") };
    std::vector<VirtualKeyCode> expected;
    for (const NamedKey& key : namedKeys) {
        arguments << QString::fromLatin1(key.keysym);
        expected.push_back(key.code);
    }
    ASSERT_TRUE(xdotool(arguments));
    ASSERT_TRUE(waitUntil([&] { return keyDowns().size() >= expected.size(); }));
    EXPECT_EQ(keyDowns(), expected);
}

// Keys pressed while the main thread is busy are read late: the first says
// by how much, the rest of the stall adds nothing, a key read in time none.
TEST_F(X11KeySourceTest, AKeyDownReadLateIsLoggedWithItsDelayOncePerStall)
{
    auto systemLog = std::make_shared<RecordingSystemLog>();
    platform::X11KeySource source(
        {}, VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("hotkey"), systemLog, nullptr));
    int keyDowns = 0;
    source.start(std::nullopt, [&keyDowns](const KeyEvent& event) {
        keyDowns += event.type == KeyEventType::keyDown ? 1 : 0;
        return false;
    });
    std::thread user([] { std::system("xdotool key --delay 0 a b"); });
    // Busy until the keys are sent and for a while after, however late they go.
    user.join();
    std::this_thread::sleep_for(400ms);
    ASSERT_TRUE(waitUntil([&] { return keyDowns == 2; }));
    ASSERT_TRUE(xdotool({ QStringLiteral("key"), QStringLiteral("c") }));
    ASSERT_TRUE(waitUntil([&] { return keyDowns == 3; }));

    QStringList late;
    for (const auto& entry : systemLog->entries())
        late << entry.publicPart;
    ASSERT_EQ(late.size(), 1) << late.join(u'\n').toStdString();
    EXPECT_GE(late.first().section(u' ', 3, 3).toInt(), 100) << late.first().toStdString();
}

TEST_F(X11KeySourceTest, ModifierKeysAreFlagsChanges)
{
    startRecording();
    // By X key code: given key names, xdotool also presses the first key of
    // the same modifier (Control_L for Control_R). On the US keymap: Super_L
    // 133, Alt_L 64, Shift_L 50, Control_R 105, Super_R 134, Alt_R 108,
    // Shift_R 62, Control_L 37; k 45.
    QStringList arguments;
    for (const char* code : {"133", "64", "50", "105", "134", "108", "62", "37"})
        arguments << QStringLiteral("keydown") << QString::fromLatin1(code);
    arguments << QStringLiteral("key") << QStringLiteral("45");
    for (const char* code : {"50", "105", "64", "133", "37", "62", "108", "134"})
        arguments << QStringLiteral("keyup") << QString::fromLatin1(code);
    // A last k, once no modifier is down: whatever came between the keys before it shows first.
    arguments << QStringLiteral("key") << QStringLiteral("45");
    ASSERT_TRUE(xdotool(arguments));
    ASSERT_TRUE(waitUntil([&] { return events_.size() >= 20; }));

    const ModifierFlags cmdOption = modifierFlag::command | modifierFlag::option;
    const ModifierFlags all = cmdOption | modifierFlag::shift | rightCtrlFlags;
    const KeyEvent expected[] = {
        modifierDown(0, virtualKey::command, modifierFlag::command),
        modifierDown(0, virtualKey::option, cmdOption),
        modifierDown(0, virtualKey::shift, cmdOption | modifierFlag::shift),
        modifierDown(0, virtualKey::rightControl, all),
        modifierDown(0, virtualKey::rightCommand, all),
        modifierDown(0, virtualKey::rightOption, all),
        modifierDown(0, virtualKey::rightShift, all),
        modifierDown(0, virtualKey::control, all),
        keyDown(0, virtualKey::k, all),
        keyUp(0, virtualKey::k, all),
        // Each flag stays while another key of the same modifier is down.
        modifierUp(0, virtualKey::shift, all),
        modifierUp(0, virtualKey::rightControl, all & ~modifierFlag::fn),
        modifierUp(0, virtualKey::option, all & ~modifierFlag::fn),
        modifierUp(0, virtualKey::command, all & ~modifierFlag::fn),
        modifierUp(0, virtualKey::control, cmdOption | modifierFlag::shift),
        modifierUp(0, virtualKey::rightShift, cmdOption),
        modifierUp(0, virtualKey::rightOption, modifierFlag::command),
        modifierUp(0, virtualKey::rightCommand, 0),
        keyDown(0, virtualKey::k, 0),
        keyUp(0, virtualKey::k, 0),
    };
    ASSERT_EQ(events_.size(), std::size(expected));
    for (std::size_t i = 0; i < events_.size(); ++i) {
        SCOPED_TRACE(i);
        KeyEvent seen = events_[i];
        seen.time = std::chrono::milliseconds(0);
        EXPECT_EQ(seen, expected[i]);
        // Server times: monotonic, in milliseconds.
        EXPECT_GE(events_[i].time, events_[i == 0 ? 0 : i - 1].time);
    }
}

} // namespace
} // namespace vellamor::test
