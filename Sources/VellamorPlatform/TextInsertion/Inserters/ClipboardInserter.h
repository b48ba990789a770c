#pragma once

#include "Platform/KeyInjection/KeyInjector.h"
#include "Platform/Pasteboard/Pasteboard.h"
#include "TextInsertion/AnyInserter.h"
#include "TextInsertion/InsertionSleep.h"
#include "TextInsertion/SyntheticInputGuard.h"

#include <chrono>
#include <memory>

namespace vellamor {

// Pastes a text: lends it to the clipboard (the pasteboard reads what the
// clipboard held first), sends the active window's paste chord (see
// PasteChord) and returns once the target has fetched the text. The loan
// goes on without the paste: the target may ask again, and the user's
// earlier contents come back once it is done (see ClipboardLoan). The
// primary selection is lent the same way, only for the chord that pastes it.
// Main thread; nothing here waits on another program.
class ClipboardInserter final : public AnyInserter {
public:
    struct Pacing {
        // The longest wait for the first request after the chord. A target
        // busy when the chord arrives asks late, and gets the text whenever
        // it asks: this only decides when the paste is told failed (a Qt
        // field stopped for a second at the chord pastes after it; Chromium
        // holding 2 MB under a busy loop per core asked after more than 3 s).
        std::chrono::milliseconds fetchLimit{5000};
        std::chrono::milliseconds modifierPoll{20};
        std::chrono::milliseconds modifierTimeout{2000};
        std::chrono::milliseconds releaseSettle{20};
    };

    // Waits on the event loop.
    ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                      std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic);
    ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                      std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic,
                      InsertionSleep sleep);
    ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                      std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic,
                      InsertionSleep sleep, Pacing pacing);

    // Empty text: nothing. Throws ClipboardInserterError: pasteboardWriteFailed
    // when the text could not be put on the clipboards (they hold what they
    // held); eventSourceFailed without synthetic input, eventBuildFailed when
    // the chord's keys are missing or refused (the earlier contents go back);
    // notFetched when the target did not ask for the text in time (it stays
    // on the clipboard: the target may still paste it, and must never get
    // the earlier contents for this chord); unconfirmed when only the field
    // can tell whether the target took it (see LoanProgress); displaced when
    // another program's copy took the clipboard first (that copy stays).
    // Where the earlier contents could not be read, the text is pasted all
    // the same and stays on the clipboard.
    QCoro::Task<void> insert(QString text) override;

private:
    std::shared_ptr<platform::Pasteboard> pasteboard_;
    std::shared_ptr<platform::KeyInjector> injector_;
    SyntheticInputGuard::Notify ignoreSynthetic_;
    InsertionSleep sleep_;
    Pacing pacing_;
};

} // namespace vellamor
