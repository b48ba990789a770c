#pragma once

#include "Platform/KeyInjection/KeyInjector.h"
#include "TextInsertion/AnyInserter.h"
#include "TextInsertion/InsertionSleep.h"
#include "TextInsertion/KeystrokePlan.h"
#include "TextInsertion/SyntheticInputGuard.h"

#include <QElapsedTimer>

#include <chrono>
#include <map>
#include <memory>
#include <vector>

namespace vellamor {

// Types a text as synthetic key events (see KeystrokePlan), one character
// every 2 ms (20 ms for the applications TypingPace names). Applications load
// a changed keymap when they read the first key after the change, from the
// server as it is then: a key code mapped again, or cleared, before a busy
// application has read the keys typed on it makes it read them as other
// characters or none (browsers lose the ends of texts that way). So before a
// change of key codes that keys were typed on, the typing waits until a slow
// application (one that works `readPerKey` on every key) would have read the
// last of those keys, never longer than `readingCeiling`; key codes nothing
// was typed on are mapped at once. The last change, which gives the spare
// keys back their emptiness, is left to the next insertion: the keys stay
// mapped, and the next text types the characters they hold on them and maps
// its others onto the remaining spare keys, so it usually waits for nothing.
// Only when those are too few does it first clear them, after what is left of
// that reading time. The inserter's end clears them at once. No real key
// types them meanwhile, and they are no spare keys for another inserter on
// the same display (the application has one). Another client may replace
// the whole keymap meanwhile (a layout switch), which empties them or gives
// them characters of its own: so the key codes are read back before their
// characters are typed again and before they are cleared, and those that no
// longer hold this process's characters are forgotten, neither typed on nor
// cleared. A batch that does not hold once mapped ends the typing as refused,
// and so does one that no longer holds after keys were typed on it (the
// keys after a keymap load carried nothing).
//
// Typing never combines with a modifier the user holds: before every key it
// looks at the keyboard and pauses while one is down (up to
// `heldModifierLimit`, then releases it for the applications as before the
// first key). Caps Lock is switched off while typing. Runs on the main
// thread's event loop, suspended in its waits.
class KeystrokeInserter final : public AnyInserter {
public:
    struct Pacing {
        // Measured against a view that works 8 ms on every key (13-14 ms in
        // all): 20 ms settles lost nothing; a remapping lost the keys of the
        // next batch at up to 12 ms read time per key and none from 14 ms on.
        std::chrono::milliseconds perCharacter { 2 };
        std::chrono::milliseconds slowPerCharacter { 20 };
        std::chrono::milliseconds mappingSettle { 20 };
        // After a keymap change the application in front is asked to answer
        // once it has taken the change in; a busy browser read the first
        // remapped key with its old keymap 20 ms after the change. Typing
        // goes on after the answer, or after this long without one.
        std::chrono::milliseconds mappingAnswerPoll { 2 };
        std::chrono::milliseconds mappingAnswerLimit { 2000 };
        std::chrono::milliseconds unmappingSettle { 20 };
        std::chrono::milliseconds readPerKey { 16 };
        // Beyond this a reader is taken to have caught up: a long text must
        // not hold the next keymap change (or the next insertion) for minutes,
        // and a short text after it is typed within a second.
        std::chrono::milliseconds readingCeiling { 800 };
        std::chrono::milliseconds modifierPoll { 20 };
        std::chrono::milliseconds modifierTimeout { 2000 };
        std::chrono::milliseconds heldModifierLimit { 60000 };
        // Lets the hotkey monitor read the last injected keys while it still ignores them.
        std::chrono::milliseconds releaseSettle { 20 };
    };

    KeystrokeInserter(std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic,
        InsertionSleep sleep = eventLoopSleep());
    KeystrokeInserter(std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic,
        InsertionSleep sleep, Pacing pacing);
    ~KeystrokeInserter() override;

    KeystrokeInserter(const KeystrokeInserter&) = delete;
    KeystrokeInserter& operator=(const KeystrokeInserter&) = delete;

    // Empty text: nothing. Throws KeystrokeInserterError: sourceUnavailable
    // when there is no synthetic input, buildFailed (with the number of
    // characters already typed, which stay typed) when a key event or a
    // mapping change is refused, a mapping was lost under keys typed on it,
    // or the text cannot be typed at all.
    QCoro::Task<void> insert(QString text) override;

    // The number of key events (down and up) the text needs, without
    // typing; throws as insert() does.
    int buildEvents(const QString& text);

private:
    // The key codes the last insertion left mapped, with their characters;
    // a slow reader has read every key typed on them `readingTime` after `since`.
    struct LeftMapping {
        std::map<int, platform::KeyMapping> keys;
        std::chrono::milliseconds readingTime { 0 };
        QElapsedTimer since;

        void leave(std::map<int, platform::KeyMapping> mapped, std::chrono::milliseconds readTime);
        // Forgets the keys the injector's own mappings no longer hold.
        void keepHeld(platform::KeyInjector& injector);
        std::chrono::milliseconds remaining() const;
        std::vector<platform::KeyMapping> clearing() const;
    };

    // Characters held by `left` are typed on their key codes, which are no
    // spare ones.
    static std::optional<KeystrokePlan> plan(
        platform::KeyInjector& injector, const QString& text, const std::map<int, platform::KeyMapping>& left);
    struct Typed {
        int posted = 0;
        // A key event or a mapping change was refused, or a mapping keys were
        // typed on was lost: typing stopped there.
        bool refused = false;
    };

    // Types the plan's steps, leaving its last mapping to the inserter.
    class Run;
    // Waits `mappingSettle`, then for the target's answer to a ping sent
    // behind the change (see Pacing); answers the time waited.
    static QCoro::Task<std::chrono::milliseconds> settleMapping(
        std::shared_ptr<platform::KeyInjector> injector, InsertionSleep sleep, Pacing pacing);
    static QCoro::Task<void> restoreKeymap(
        std::shared_ptr<platform::KeyInjector> injector, InsertionSleep sleep, std::shared_ptr<LeftMapping> left);

    std::shared_ptr<platform::KeyInjector> injector_;
    SyntheticInputGuard::Notify ignoreSynthetic_;
    InsertionSleep sleep_;
    Pacing pacing_;
    std::shared_ptr<LeftMapping> leftMapped_;
};

} // namespace vellamor
