#pragma once

#include "Platform/KeyInjection/KeyInjector.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "TextInsertion/AnyInserter.h"
#include "TextInsertion/InsertionSleep.h"
#include "TextInsertion/SyntheticInputGuard.h"

#include <chrono>
#include <memory>

namespace vellamor {

// Pastes a text: saves the clipboard, puts the text on it, sends the active
// window's paste chord (see PasteChord), waits until the target has asked
// for the text, and puts the saved contents back. The primary selection is
// borrowed the same way, only for the chord that pastes it. This process owns
// the clipboard meanwhile and serves it from the event loop, so every wait
// leaves the loop running. Main thread.
class ClipboardInserter final : public AnyInserter {
public:
    struct Pacing {
        // The longest wait for the fetch, for targets that never ask.
        std::chrono::milliseconds pasteWait{120};
        // A browser drops a paste when the clipboard changes before it has
        // finished with it: measured in Chromium, 10 ms after the request
        // lost 8 of 9 pastes, 30 ms 1 of 9, 40 ms none; on a machine loaded
        // three times over its cores, 100 ms lost about one in thirty.
        std::chrono::milliseconds holdAfterFetch{300};
        std::chrono::milliseconds fetchPoll{2};
        std::chrono::milliseconds modifierPoll{20};
        std::chrono::milliseconds modifierTimeout{2000};
        std::chrono::milliseconds releaseSettle{20};
    };

    ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                      std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic,
                      InsertionSleep sleep = eventLoopSleep());
    ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                      std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic,
                      InsertionSleep sleep, Pacing pacing);

    // Empty text: nothing. Throws ClipboardInserterError after putting the
    // saved contents back: pasteboardWriteFailed when the text could not be
    // put on the clipboards, eventSourceFailed without synthetic input,
    // eventBuildFailed when the chord's keys are missing or refused,
    // notFetched when the target was seen not to ask for the text in time
    // (nothing was pasted, or it would paste what was put back).
    QCoro::Task<void> insert(QString text) override;

private:
    std::shared_ptr<platform::Pasteboard> pasteboard_;
    std::shared_ptr<platform::KeyInjector> injector_;
    SyntheticInputGuard::Notify ignoreSynthetic_;
    InsertionSleep sleep_;
    Pacing pacing_;
};

} // namespace vellamor
