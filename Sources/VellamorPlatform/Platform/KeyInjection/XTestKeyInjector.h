#pragma once

#include "Platform/KeyInjection/KeyInjector.h"

#include <QString>

#include <memory>

namespace vellamor::platform
{

// Synthetic keys through the XTest extension on a display connection of its
// own, opened on first use. Characters are looked up in the active XKB group
// (levels reached with nothing or Shift alone, keypad keys left out); spare
// key codes are those without any symbol, given one-level XKB mappings, a
// whole batch in one request. Keymaps loaded by other clients are followed
// on the same connection: a load forgets the mappings made before it and the
// layout read before. Main thread.
class XTestKeyInjector final : public KeyInjector
{
public:
    // An empty name means the DISPLAY of the environment.
    explicit XTestKeyInjector(QString displayName = {});
    ~XTestKeyInjector() override;

    XTestKeyInjector(const XTestKeyInjector&) = delete;
    XTestKeyInjector& operator=(const XTestKeyInjector&) = delete;

    // Also forgets the layout read before, so each insertion sees the
    // layout the user has now.
    bool isAvailable() override;
    std::optional<InjectedKey> keyForCharacter(char32_t character) override;
    std::optional<InjectedKey> keyForSpecial(SpecialKey key) override;
    std::vector<int> spareKeyCodes(int count) override;
    bool mapKeyCodes(const std::vector<KeyMapping>& mapping) override;
    // The key codes' symbols read back in one request.
    std::vector<KeyMapping> ownMappings() override;
    bool tap(const InjectedKey& key, bool withControl) override;
    // Holds the server meanwhile, so that no other client's key (xdotool's,
    // a remote desktop's) comes between the look and the tap.
    TapOutcome tapUnlessModifiersHeld(const InjectedKey& key) override;
    bool modifiersHeld() override;
    void releaseModifiers() override;
    bool capsLockOn() override;
    void setCapsLock(bool on) override;
    // Also reads the events this connection was sent meanwhile, and drops
    // all but a keymap load.
    void flush() override;
    // A _NET_WM_PING to the focused application window, when it lists that
    // protocol; its answer goes to the root window, watched until the answer
    // or the next flush().
    std::optional<quint32> pingFocusedWindow() override;
    bool pingAnswered(quint32 ping) override;
    QStringList activeWindowClass() override;
    std::optional<FocusedWindow> focusedWindow() override;

private:
    struct Connection;

    Connection* connection();

    QString displayName_;
    std::unique_ptr<Connection> connection_;
    bool openFailed_ = false;
    quint32 lastPing_ = 0;
};

} // namespace vellamor::platform
