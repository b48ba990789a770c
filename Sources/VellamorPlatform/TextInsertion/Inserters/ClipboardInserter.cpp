#include "TextInsertion/Inserters/ClipboardInserter.h"

#include "TextInsertion/ClipboardSnapshot.h"
#include "TextInsertion/Inserters/ClipboardInserterError.h"
#include "TextInsertion/ModifierRelease.h"
#include "TextInsertion/PasteChord.h"

#include <functional>
#include <optional>

namespace vellamor {

namespace {

using platform::PasteboardSelection;

struct Chord {
    platform::InjectedKey key;
    bool control = false;
};

std::optional<Chord> chordFor(platform::KeyInjector& injector, PasteChord::Kind kind)
{
    switch (kind) {
    case PasteChord::Kind::controlV:
        if (const auto v = injector.keyForCharacter(U'v'))
            return Chord{{v->keyCode, false}, true};
        return std::nullopt;
    case PasteChord::Kind::controlShiftV:
        if (const auto v = injector.keyForCharacter(U'v'))
            return Chord{{v->keyCode, true}, true};
        return std::nullopt;
    case PasteChord::Kind::shiftInsert:
        if (const auto insert = injector.keyForSpecial(platform::SpecialKey::insert))
            return Chord{{insert->keyCode, true}, false};
        return std::nullopt;
    }
    return std::nullopt;
}

// What a paste took from the user: its text lent to the selections, their
// earlier contents to give back.
struct Loan {
    QString text;
    ClipboardSnapshot clipboard;
    std::optional<ClipboardSnapshot> primary;
};

enum class Taking { done, neverAsked, unseen };

// Until the target has finished taking the text: it asked, then neither asked
// again nor was sent a part for the quiet time (a busy target asks again, or
// late), or the hold's limit passed, or the hold ended (`held` false).
// neverAsked when it was seen not to ask in time; unseen where requests
// cannot be seen, after the longest wait for the first.
QCoro::Task<Taking> waitUntilTaken(std::shared_ptr<platform::Pasteboard> pasteboard, PasteboardSelection selection,
                                   std::function<bool()> held, InsertionSleep sleep, InsertionClock clock,
                                   ClipboardInserter::Pacing pacing)
{
    const auto chord = clock();
    if (!pasteboard->requests(selection)) {
        co_await sleep(pacing.pasteWait);
        co_return Taking::unseen;
    }
    std::optional<platform::PasteboardRequests> seen;
    auto lastActive = chord;
    while (held()) {
        const auto now = clock();
        const auto requests = pasteboard->requests(selection).value_or(platform::PasteboardRequests{});
        if (requests.text > 0 || requests.transferring) {
            if (requests != seen || requests.transferring)
                lastActive = now;
            seen = requests;
            if (now - lastActive >= pacing.quietAfterRequest || now - chord >= pacing.holdLimit)
                co_return Taking::done;
        } else if (now - chord >= pacing.pasteWait) {
            co_return Taking::neverAsked;
        }
        co_await sleep(pacing.requestPoll);
    }
    co_return Taking::done;
}

// Whether the target asks for the contents just put back, which it then pastes.
QCoro::Task<bool> askedAfterRestore(std::shared_ptr<platform::Pasteboard> pasteboard,
                                    PasteboardSelection selection, InsertionSleep sleep, InsertionClock clock,
                                    ClipboardInserter::Pacing pacing)
{
    const auto restored = clock();
    while (true) {
        const auto requests = pasteboard->requests(selection);
        if (!requests)
            co_return false;
        if (requests->text > 0)
            co_return true;
        if (clock() - restored >= pacing.watchAfterRestore)
            co_return false;
        co_await sleep(pacing.requestPoll);
    }
}

} // namespace

// The paste holding the clipboards, if any: shared with finishHold().
struct ClipboardInserter::Hold {
    std::optional<Loan> loan;

    // Puts the earlier contents back, once, on each selection that still
    // holds the text; answers whether `watched` got them back.
    bool giveBack(platform::Pasteboard& pasteboard, std::optional<PasteboardSelection> watched = std::nullopt)
    {
        if (!loan)
            return false;
        const Loan taken = std::move(*loan);
        loan.reset();
        bool watchedBack = false;
        const auto giveBackOne = [&](PasteboardSelection selection, const ClipboardSnapshot& snapshot) {
            if (!pasteboard.holdsText(selection, taken.text))
                return;
            snapshot.restore(pasteboard, selection);
            watchedBack = watchedBack || watched == selection;
        };
        giveBackOne(PasteboardSelection::clipboard, taken.clipboard);
        if (taken.primary)
            giveBackOne(PasteboardSelection::primary, *taken.primary);
        return watchedBack;
    }
};

ClipboardInserter::ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                                     std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic)
    : ClipboardInserter(std::move(pasteboard), std::move(injector), std::move(ignoreSynthetic), eventLoopSleep(),
                        std::chrono::steady_clock::now, Pacing{})
{
}

ClipboardInserter::ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                                     std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep,
                                     InsertionClock clock)
    : ClipboardInserter(std::move(pasteboard), std::move(injector), std::move(ignoreSynthetic), std::move(sleep),
                        std::move(clock), Pacing{})
{
}

ClipboardInserter::ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                                     std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep,
                                     InsertionClock clock, Pacing pacing)
    : pasteboard_(std::move(pasteboard))
    , injector_(std::move(injector))
    , ignoreSynthetic_(std::move(ignoreSynthetic))
    , sleep_(std::move(sleep))
    , clock_(std::move(clock))
    , pacing_(pacing)
    , hold_(std::make_shared<Hold>())
{
}

void ClipboardInserter::finishHold()
{
    hold_->giveBack(*pasteboard_);
}

QCoro::Task<void> ClipboardInserter::insert(QString text)
{
    if (text.isEmpty())
        co_return;
    const auto pasteboard = pasteboard_;
    const auto injector = injector_;
    const auto sleep = sleep_;
    const auto clock = clock_;
    const auto ignoreSynthetic = ignoreSynthetic_;
    const Pacing pacing = pacing_;
    const auto hold = hold_;

    // GTK text views drop their own selection when another client takes
    // PRIMARY, and Ctrl+V then pastes beside the selected text instead of
    // over it: PRIMARY is borrowed only for the chord that pastes it.
    const PasteChord::Kind kind = PasteChord::forWindowClass(injector->activeWindowClass());
    const bool borrowPrimary = kind == PasteChord::Kind::shiftInsert;
    const auto pasted = borrowPrimary ? PasteboardSelection::primary : PasteboardSelection::clipboard;
    hold->loan = Loan{text, ClipboardSnapshot::take(*pasteboard, PasteboardSelection::clipboard),
                      borrowPrimary ? std::optional(ClipboardSnapshot::take(*pasteboard, PasteboardSelection::primary))
                                    : std::nullopt};

    const bool wroteClipboard = pasteboard->setText(PasteboardSelection::clipboard, text);
    const bool wrotePrimary =
        wroteClipboard && (!borrowPrimary || pasteboard->setText(PasteboardSelection::primary, text));
    if (!wroteClipboard || !wrotePrimary) {
        hold->giveBack(*pasteboard);
        throw ClipboardInserterError::pasteboardWriteFailed();
    }
    if (!injector->isAvailable()) {
        hold->giveBack(*pasteboard);
        throw ClipboardInserterError::eventSourceFailed();
    }

    co_await ModifierRelease::wait(injector, sleep, pacing.modifierPoll, pacing.modifierTimeout);
    const auto chord = chordFor(*injector, kind);
    if (!chord) {
        hold->giveBack(*pasteboard);
        throw ClipboardInserterError::eventBuildFailed();
    }

    SyntheticInputGuard guard(ignoreSynthetic);
    guard.begin();
    const bool sent = injector->tap(chord->key, chord->control);
    injector->flush();
    const auto held = [hold] { return hold->loan.has_value(); };
    const Taking taking =
        sent ? co_await waitUntilTaken(pasteboard, pasted, held, sleep, clock, pacing) : Taking::unseen;
    const bool restored = hold->giveBack(*pasteboard, pasted);
    co_await sleep(pacing.releaseSettle);
    guard.end();
    if (!sent)
        throw ClipboardInserterError::eventBuildFailed();
    if (taking == Taking::neverAsked)
        throw ClipboardInserterError::notFetched();
    if (taking == Taking::done && restored && co_await askedAfterRestore(pasteboard, pasted, sleep, clock, pacing))
        throw ClipboardInserterError::askedAfterRestore();
}

} // namespace vellamor
