#pragma once

#include "Platform/KeyInjection/KeyInjector.h"
#include "TextInsertion/AnyInserter.h"
#include "TextInsertion/InsertionSleep.h"
#include "TextInsertion/KeystrokePlan.h"
#include "TextInsertion/SyntheticInputGuard.h"

#include <QElapsedTimer>

#include <chrono>
#include <memory>
#include <vector>

namespace vellamor {

// Types a text as synthetic key events (see KeystrokePlan), one character
// every 2 ms (20 ms for the applications TypingPace names). Applications load
// a changed keymap when they read the first key after the change, from the
// server as it is then: a keymap changed again, or cleared, before a busy
// application has read that far makes it read keys with the wrong characters
// or none (browsers lose the ends of texts that way). So the typing pauses
// after every mapping change, and before a change that takes characters away
// it waits as long as a slow application (one that works `readPerKey` on
// every key) needs to read up to the last key that relies on the mapping.
// The last change, which gives the spare keys back their emptiness, waits
// the same, but not at the caller's expense: the keys stay mapped until the
// next insertion (which first waits for what is left of that time) or the
// inserter's end. No real key types them meanwhile, and they are no spare
// keys for another inserter on the same display (the application has one).
// Caps Lock is switched off while typing. Runs on the main thread's event loop, suspended in its
// waits.
class KeystrokeInserter final : public AnyInserter {
public:
    struct Pacing {
        // Measured against a view that works 8 ms on every key (13-14 ms in
        // all): 20 ms settles lost nothing; a remapping lost the keys of the
        // next batch at up to 12 ms read time per key and none from 14 ms on.
        std::chrono::milliseconds perCharacter{2};
        std::chrono::milliseconds slowPerCharacter{20};
        std::chrono::milliseconds mappingSettle{20};
        std::chrono::milliseconds unmappingSettle{20};
        std::chrono::milliseconds readPerKey{16};
        std::chrono::milliseconds modifierPoll{20};
        std::chrono::milliseconds modifierTimeout{2000};
        // Lets the hotkey monitor read the last injected keys while it still ignores them.
        std::chrono::milliseconds releaseSettle{20};
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
    // mapping change is refused or the text cannot be typed at all.
    QCoro::Task<void> insert(QString text) override;

    // The number of key events (down and up) the text needs, without
    // typing; throws as insert() does.
    int buildEvents(const QString& text);

private:
    // The clearing of the last insertion's mapping, due once a slow reader
    // has had `readingTime` since `since`.
    struct LeftMapping {
        std::vector<platform::KeyMapping> mapping;
        std::chrono::milliseconds readingTime{0};
        QElapsedTimer since;

        void leave(std::vector<platform::KeyMapping> clear, std::chrono::milliseconds readTime);
    };

    static std::optional<KeystrokePlan> plan(platform::KeyInjector& injector, const QString& text);
    static QCoro::Task<void> restoreKeymap(std::shared_ptr<platform::KeyInjector> injector, InsertionSleep sleep,
                                           std::shared_ptr<LeftMapping> left);

    std::shared_ptr<platform::KeyInjector> injector_;
    SyntheticInputGuard::Notify ignoreSynthetic_;
    InsertionSleep sleep_;
    Pacing pacing_;
    std::shared_ptr<LeftMapping> leftMapped_;
};

} // namespace vellamor
