#include "TextInsertion/Inserters/ClipboardInserter.h"

#include "TextInsertion/Inserters/ClipboardInserterError.h"
#include "TextInsertion/ModifierRelease.h"
#include "TextInsertion/PasteChord.h"

#include <optional>

namespace vellamor {

namespace {

using platform::LoanProgress;
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

// The loans of one paste; those still held when it ends early give the
// user's contents back.
struct Loans {
    std::shared_ptr<platform::PasteboardLoan> clipboard;
    std::shared_ptr<platform::PasteboardLoan> primary;

    void giveBack() const
    {
        for (const auto& loan : {clipboard, primary}) {
            if (loan)
                loan->giveBack();
        }
    }
};

} // namespace

ClipboardInserter::ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                                     std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic)
    : ClipboardInserter(std::move(pasteboard), std::move(injector), std::move(ignoreSynthetic), eventLoopSleep())
{
}

ClipboardInserter::ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                                     std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep)
    : ClipboardInserter(std::move(pasteboard), std::move(injector), std::move(ignoreSynthetic), std::move(sleep),
                        Pacing{})
{
}

ClipboardInserter::ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                                     std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep, Pacing pacing)
    : pasteboard_(std::move(pasteboard))
    , injector_(std::move(injector))
    , ignoreSynthetic_(std::move(ignoreSynthetic))
    , sleep_(std::move(sleep))
    , pacing_(pacing)
{
}

QCoro::Task<void> ClipboardInserter::insert(QString text)
{
    if (text.isEmpty())
        co_return;
    const auto pasteboard = pasteboard_;
    const auto injector = injector_;
    const auto sleep = sleep_;
    const auto ignoreSynthetic = ignoreSynthetic_;
    const Pacing pacing = pacing_;

    // GTK text views drop their own selection when another client takes
    // PRIMARY, and Ctrl+V then pastes beside the selected text instead of
    // over it: PRIMARY is lent only for the chord that pastes it.
    const PasteChord::Kind kind = PasteChord::forWindowClass(injector->activeWindowClass());
    const bool borrowPrimary = kind == PasteChord::Kind::shiftInsert;
    Loans loans;
    loans.clipboard = co_await pasteboard->lend(PasteboardSelection::clipboard, text);
    if (!loans.clipboard)
        throw ClipboardInserterError::pasteboardWriteFailed();
    if (borrowPrimary) {
        loans.primary = co_await pasteboard->lend(PasteboardSelection::primary, text);
        if (!loans.primary) {
            loans.giveBack();
            throw ClipboardInserterError::pasteboardWriteFailed();
        }
    }
    if (!injector->isAvailable()) {
        loans.giveBack();
        throw ClipboardInserterError::eventSourceFailed();
    }

    co_await ModifierRelease::wait(injector, sleep, pacing.modifierPoll, pacing.modifierTimeout);
    const auto chord = chordFor(*injector, kind);
    if (!chord) {
        loans.giveBack();
        throw ClipboardInserterError::eventBuildFailed();
    }

    const auto pasted = borrowPrimary ? loans.primary : loans.clipboard;
    SyntheticInputGuard guard(ignoreSynthetic);
    guard.begin();
    pasted->chordSent(pacing.fetchLimit);
    const bool sent = injector->tap(chord->key, chord->control);
    injector->flush();
    if (!sent) {
        loans.giveBack();
        co_await sleep(pacing.releaseSettle);
        guard.end();
        throw ClipboardInserterError::eventBuildFailed();
    }
    const LoanProgress progress = co_await pasted->firstFetch();
    // The chord pasted PRIMARY: the clipboard was lent only in case.
    if (borrowPrimary)
        loans.clipboard->giveBack();
    co_await sleep(pacing.releaseSettle);
    guard.end();
    switch (progress) {
    case LoanProgress::fetched:
        co_return;
    case LoanProgress::neverAsked:
        pasted->keep();
        throw ClipboardInserterError::notFetched();
    case LoanProgress::unconfirmed:
        throw ClipboardInserterError::unconfirmed();
    case LoanProgress::displaced:
        throw ClipboardInserterError::displaced();
    }
}

} // namespace vellamor
