#pragma once

#include "Platform/KeyInjection/KeyInjector.h"
#include "RecordingInsertionSleep.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace vellamor::test
{

// A keyboard and one receiving application. The layout types US ASCII
// (letters, digits, space and the usual punctuation; upper case and shifted
// punctuation with Shift) plus Enter, Tab and Insert; key codes 200 and up
// are spare while nothing is mapped on them. What the application receives
// is collected in typed().
//
// Like real applications, this one reloads its keymap a while after each
// mapping change (`keymapDelay`, on the shared virtual clock): a key whose
// mapping changed more recently than that is read with the old mapping, and
// a key still unread when its mapping changes again is read with the new one.
// A slow reader (`readPerKey` set, as a browser) reads each key that long
// after the one before, with the mapping of that moment. Such readings are
// also listed in races().
class FakeKeyInjector final : public platform::KeyInjector
{
public:
    struct Tap {
        int keyCode;
        bool shift;
        bool control;
        bool capsLock;
        std::chrono::milliseconds at;
    };

    static constexpr int enterKey = 36;
    static constexpr int tabKey = 23;
    static constexpr int insertKey = 118;
    static constexpr int vKey = 55;

    explicit FakeKeyInjector(std::shared_ptr<FakeInsertionClock> clock = std::make_shared<FakeInsertionClock>());

    // Configuration.
    bool available = true;
    int spareCount = 16;
    std::chrono::milliseconds keymapDelay { 20 };
    std::chrono::milliseconds readPerKey { 0 };
    // tap() answers false from this (0-based) tap on.
    std::optional<int> refuseTapsFrom;
    // This (0-based) mapKeyCodes() call answers false and changes nothing.
    std::optional<int> refuseMappingCall;
    // This (0-based) mapKeyCodes() call answers true, but another client
    // empties its key codes at once.
    std::optional<int> vanishingMappingCall;
    QStringList windowClass;
    std::optional<platform::FocusedWindow> focused = platform::FocusedWindow { 4242 };
    bool capsLock = false;
    // Modifiers stay held until the clock reaches this time (none: released).
    std::optional<std::chrono::milliseconds> modifiersHeldUntil;
    // The application answers a ping once it has reloaded its keymap after
    // the last change (`keymapDelay` after it); false: it takes no pings.
    bool answersPings = false;
    // Called after every accepted tap (a test checks the clipboard there).
    std::function<void(const Tap&)> onTap;

    // What the application received so far.
    QString typed() const;
    const std::vector<Tap>& taps() const { return taps_; }
    // One line per tap read with another mapping than it was sent with.
    QStringList races() const;
    // Every mapKeyCodes() call, in order.
    const std::vector<std::vector<platform::KeyMapping>>& mappings() const { return mappings_; }
    // Key codes beyond the layout's that have a character: ours, or one a
    // replaced keymap put there.
    std::map<int, platform::KeyMapping> currentMapping() const { return mapping_; }
    // Another client loads a whole keymap (a layout switch) that gives the
    // spare key codes `spareHeld` and nothing of ours.
    void replaceKeymap(std::map<int, platform::KeyMapping> spareHeld = {});
    int releaseCount() const { return releases_; }
    int flushCount() const { return flushes_; }
    const std::vector<bool>& capsLockChanges() const { return capsLockChanges_; }

    bool isAvailable() override { return available; }
    std::optional<platform::InjectedKey> keyForCharacter(char32_t character) override;
    std::optional<platform::InjectedKey> keyForSpecial(platform::SpecialKey key) override;
    std::vector<int> spareKeyCodes(int count) override;
    bool mapKeyCodes(const std::vector<platform::KeyMapping>& mapping) override;
    std::vector<platform::KeyMapping> ownMappings() override;
    bool tap(const platform::InjectedKey& key, bool withControl) override;
    TapOutcome tapUnlessModifiersHeld(const platform::InjectedKey& key) override;
    bool modifiersHeld() override;
    void releaseModifiers() override;
    bool capsLockOn() override { return capsLock; }
    void setCapsLock(bool on) override;
    void flush() override { ++flushes_; }
    std::optional<quint32> pingFocusedWindow() override;
    bool pingAnswered(quint32 ping) override;
    int pingCount() const { return static_cast<int>(pings_.size()); }
    QStringList activeWindowClass() override { return windowClass; }
    std::optional<platform::FocusedWindow> focusedWindow() override { return focused; }

private:
    struct MappingChange {
        std::chrono::milliseconds at;
        std::map<int, platform::KeyMapping> before;
        std::map<int, platform::KeyMapping> after;
    };

    // The keymap the application reads tap `index` with (see the class comment).
    std::map<int, platform::KeyMapping> keymapFor(std::size_t index) const;
    std::map<int, platform::KeyMapping> mappingAt(std::chrono::milliseconds time) const;
    QString characterFor(const Tap& tap, const std::map<int, platform::KeyMapping>& mapping) const;

    std::shared_ptr<FakeInsertionClock> clock_;
    std::map<char32_t, platform::InjectedKey> layout_;
    std::map<int, std::pair<char32_t, char32_t>> layoutKeys_;
    std::map<int, platform::KeyMapping> mapping_;
    // What mapKeyCodes() gave, up to a keymap replacement.
    std::map<int, platform::KeyMapping> own_;
    std::vector<MappingChange> history_;
    std::vector<Tap> taps_;
    std::vector<std::vector<platform::KeyMapping>> mappings_;
    int mapCalls_ = 0;
    // When each ping is answered.
    std::vector<std::chrono::milliseconds> pings_;
    int releases_ = 0;
    int flushes_ = 0;
    std::vector<bool> capsLockChanges_;
};

} // namespace vellamor::test
