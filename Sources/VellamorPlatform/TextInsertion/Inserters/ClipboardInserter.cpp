#include "TextInsertion/Inserters/ClipboardInserter.h"

#include "TextInsertion/ClipboardSnapshot.h"
#include "TextInsertion/Inserters/ClipboardInserterError.h"
#include "TextInsertion/ModifierRelease.h"
#include "TextInsertion/PasteChord.h"

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

// Until the target has asked for the text and then had the time to finish
// the paste, or the longest wait for a target that never asks (or where
// requests cannot be seen). False when it was seen not to ask.
QCoro::Task<bool> waitForFetch(std::shared_ptr<platform::Pasteboard> pasteboard, PasteboardSelection selection,
                               InsertionSleep sleep, ClipboardInserter::Pacing pacing)
{
    std::chrono::milliseconds waited{0};
    while (true) {
        const auto fetches = pasteboard->textFetches(selection);
        if (!fetches) {
            co_await sleep(pacing.pasteWait - waited);
            co_return true;
        }
        if (*fetches > 0) {
            co_await sleep(pacing.holdAfterFetch);
            co_return true;
        }
        if (waited >= pacing.pasteWait)
            co_return false;
        co_await sleep(pacing.fetchPoll);
        waited += pacing.fetchPoll;
    }
}

} // namespace

ClipboardInserter::ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                                     std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep)
    : ClipboardInserter(std::move(pasteboard), std::move(injector), std::move(ignoreSynthetic), std::move(sleep),
                        Pacing{})
{
}

ClipboardInserter::ClipboardInserter(std::shared_ptr<platform::Pasteboard> pasteboard,
                                     std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep,
                                     Pacing pacing)
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
    // over it: PRIMARY is borrowed only for the chord that pastes it.
    const PasteChord::Kind kind = PasteChord::forWindowClass(injector->activeWindowClass());
    const bool borrowPrimary = kind == PasteChord::Kind::shiftInsert;
    const auto pasted = borrowPrimary ? PasteboardSelection::primary : PasteboardSelection::clipboard;
    const auto clipboard = ClipboardSnapshot::take(*pasteboard, PasteboardSelection::clipboard);
    const auto primary = borrowPrimary ? ClipboardSnapshot::take(*pasteboard, PasteboardSelection::primary)
                                       : ClipboardSnapshot();
    const auto restore = [&] {
        clipboard.restore(*pasteboard, PasteboardSelection::clipboard);
        if (borrowPrimary)
            primary.restore(*pasteboard, PasteboardSelection::primary);
    };

    const bool wroteClipboard = pasteboard->setText(PasteboardSelection::clipboard, text);
    const bool wrotePrimary =
        wroteClipboard && (!borrowPrimary || pasteboard->setText(PasteboardSelection::primary, text));
    if (!wroteClipboard || !wrotePrimary) {
        restore();
        throw ClipboardInserterError::pasteboardWriteFailed();
    }
    if (!injector->isAvailable()) {
        restore();
        throw ClipboardInserterError::eventSourceFailed();
    }

    co_await ModifierRelease::wait(injector, sleep, pacing.modifierPoll, pacing.modifierTimeout);
    const auto chord = chordFor(*injector, kind);
    if (!chord) {
        restore();
        throw ClipboardInserterError::eventBuildFailed();
    }

    SyntheticInputGuard guard(ignoreSynthetic);
    guard.begin();
    const bool sent = injector->tap(chord->key, chord->control);
    injector->flush();
    const bool fetched = sent && co_await waitForFetch(pasteboard, pasted, sleep, pacing);
    restore();
    co_await sleep(pacing.releaseSettle);
    guard.end();
    if (!sent)
        throw ClipboardInserterError::eventBuildFailed();
    if (!fetched)
        throw ClipboardInserterError::notFetched();
}

} // namespace vellamor
