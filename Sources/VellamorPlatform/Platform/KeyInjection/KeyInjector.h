#pragma once

#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace vellamor::platform
{

// A key of the keyboard as the window system numbers it, typed alone or with Shift.
struct InjectedKey {
    int keyCode = 0;
    bool shift = false;

    friend bool operator==(const InjectedKey&, const InjectedKey&) = default;
};

enum class SpecialKey { enter, tab, insert };

// A key code given characters for a while: `plain` typed alone, `shifted`
// with Shift; 0 for nothing.
struct KeyMapping {
    int keyCode = 0;
    char32_t plain = 0;
    char32_t shifted = 0;

    friend bool operator==(const KeyMapping&, const KeyMapping&) = default;
};

// The window that has the input focus.
struct FocusedWindow {
    // None when the window does not say which process shows it.
    std::optional<qint64> processId;

    friend bool operator==(const FocusedWindow&, const FocusedWindow&) = default;
};

// Synthetic key events for the whole session, as if typed on the keyboard.
// Key codes can be given other characters for a while; every application
// reloads its keymap when that happens, asynchronously, so callers wait
// between a mapping change and the keys that rely on it. Main thread only.
class KeyInjector
{
public:
    virtual ~KeyInjector() = default;

    // Connects on first use; false when the window system offers no
    // synthetic input (then every other call fails or answers nothing).
    virtual bool isAvailable() = 0;

    // The key that types `character` in the active layout, alone or with
    // Shift; none when the layout needs anything else for it.
    virtual std::optional<InjectedKey> keyForCharacter(char32_t character) = 0;
    virtual std::optional<InjectedKey> keyForSpecial(SpecialKey key) = 0;

    // Up to `count` key codes that type nothing in the current keymap.
    virtual std::vector<int> spareKeyCodes(int count) = 0;

    // Gives each key code its characters, or (both 0) nothing again. False
    // when the window system refused.
    virtual bool mapKeyCodes(const std::vector<KeyMapping>& mapping) = 0;
    // The key codes mapKeyCodes() gave characters that hold them still, as
    // the window system answers now. One another client gave something else,
    // or whose keymap another client replaced since (a layout switch), is
    // forgotten: it is no longer this process's to type on or to clear.
    virtual std::vector<KeyMapping> ownMappings() = 0;

    // Presses and releases `key` (holding Shift when it says so), with
    // Control held around it when `withControl`.
    virtual bool tap(const InjectedKey& key, bool withControl = false) = 0;

    enum class TapOutcome { tapped, modifiersHeld, refused };
    // tap() unless a modifier is down, both in one step: no key pressed in
    // between can combine with it.
    virtual TapOutcome tapUnlessModifiersHeld(const InjectedKey& key) = 0;

    // Shift, Control, Alt, Super and the like that are down right now.
    virtual bool modifiersHeld() = 0;
    // Releases every modifier that is down, as seen by applications.
    virtual void releaseModifiers() = 0;

    virtual bool capsLockOn() = 0;
    virtual void setCapsLock(bool on) = 0;

    // Returns once the window system has handled every event sent so far.
    virtual void flush() = 0;

    // Asks the application of the focused window to answer once it has
    // handled every event the window system sent it so far (a keymap change
    // among them); none when it cannot be asked: no such window, or one that
    // does not take the question.
    virtual std::optional<quint32> pingFocusedWindow() = 0;
    // Whether the application answered `ping` by now.
    virtual bool pingAnswered(quint32 ping) = 0;

    // The active window's instance and class names; empty when unknown.
    virtual QStringList activeWindowClass() = 0;
    // The application window that has the input focus; none when no window
    // has it, the focus is on a window of no application (the root, the
    // window manager's own), or there is no display.
    virtual std::optional<FocusedWindow> focusedWindow() = 0;
};

} // namespace vellamor::platform
