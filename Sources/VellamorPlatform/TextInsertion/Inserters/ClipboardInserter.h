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
// window's paste chord (see PasteChord), waits until the target has finished
// taking the text, and puts the saved contents back where the text still
// is: a copy made meanwhile by the user or another program stays. The
// primary selection is borrowed the same way, only for the chord that pastes
// it. This process owns the clipboard meanwhile and serves it from the event
// loop, so every wait leaves the loop running. Main thread.
class ClipboardInserter final : public AnyInserter {
public:
    struct Pacing {
        // The longest wait for the first request, for targets that never ask.
        std::chrono::milliseconds pasteWait{120};
        // The contents go back once the target has neither asked for the
        // text nor been sent a part of it for this long. Chromium asks twice:
        // at once, and again when the page is next free; a page busy 1.5 s
        // of every 1.6 s asked again about 1.4 s after the chord, and got
        // the text 15 times of 15 with this wait, 0 of 15 with 300 ms. Idle,
        // and under a busy loop on every core, it asked again within 50 ms.
        std::chrono::milliseconds quietAfterRequest{1500};
        // They go back at the latest this long after the chord, whatever the
        // target still asks: Qt itself drops a transfer in parts that has
        // stalled this long.
        std::chrono::milliseconds holdLimit{5000};
        // A request for the contents put back within this long means the
        // target pasted those.
        std::chrono::milliseconds watchAfterRestore{300};
        std::chrono::milliseconds requestPoll{2};
        std::chrono::milliseconds modifierPoll{20};
        std::chrono::milliseconds modifierTimeout{2000};
        std::chrono::milliseconds releaseSettle{20};
    };

    // Waits on the event loop, deadlines on the steady clock.
    ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                      std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic);
    ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                      std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic,
                      InsertionSleep sleep, InsertionClock clock);
    ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                      std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic,
                      InsertionSleep sleep, InsertionClock clock, Pacing pacing);

    // Empty text: nothing. Throws ClipboardInserterError after putting the
    // saved contents back: pasteboardWriteFailed when the text could not be
    // put on the clipboards, eventSourceFailed without synthetic input,
    // eventBuildFailed when the chord's keys are missing or refused,
    // notFetched when the target was seen not to ask for the text in time
    // (nothing was pasted, or it would paste what was put back),
    // askedAfterRestore when it asked for what was put back (it pasted that).
    QCoro::Task<void> insert(QString text) override;

    // Puts the saved contents back now if a paste is holding the clipboards
    // (the application is quitting, and the paste's waits will not end);
    // that paste then leaves them alone.
    void finishHold();

private:
    struct Hold;

    std::shared_ptr<platform::Pasteboard> pasteboard_;
    std::shared_ptr<platform::KeyInjector> injector_;
    SyntheticInputGuard::Notify ignoreSynthetic_;
    InsertionSleep sleep_;
    InsertionClock clock_;
    Pacing pacing_;
    std::shared_ptr<Hold> hold_;
};

} // namespace vellamor
