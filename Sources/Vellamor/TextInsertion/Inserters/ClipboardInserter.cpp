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

std::optional<Chord> chordFor(platform::KeyInjector& injector)
{
    switch (PasteChord::forWindowClass(injector.activeWindowClass())) {
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

    const auto clipboard = ClipboardSnapshot::take(*pasteboard, PasteboardSelection::clipboard);
    const auto primary = ClipboardSnapshot::take(*pasteboard, PasteboardSelection::primary);
    const auto restore = [&] {
        clipboard.restore(*pasteboard, PasteboardSelection::clipboard);
        primary.restore(*pasteboard, PasteboardSelection::primary);
    };

    const bool wroteClipboard = pasteboard->setText(PasteboardSelection::clipboard, text);
    const bool wrotePrimary = wroteClipboard && pasteboard->setText(PasteboardSelection::primary, text);
    if (!wroteClipboard || !wrotePrimary) {
        restore();
        throw ClipboardInserterError::pasteboardWriteFailed();
    }
    if (!injector->isAvailable()) {
        restore();
        throw ClipboardInserterError::eventSourceFailed();
    }

    co_await ModifierRelease::wait(injector, sleep, pacing.modifierPoll, pacing.modifierTimeout);
    const auto chord = chordFor(*injector);
    if (!chord) {
        restore();
        throw ClipboardInserterError::eventBuildFailed();
    }

    SyntheticInputGuard guard(ignoreSynthetic);
    guard.begin();
    const bool sent = injector->tap(chord->key, chord->control);
    injector->flush();
    if (sent)
        co_await sleep(pacing.pasteWait);
    restore();
    co_await sleep(pacing.releaseSettle);
    guard.end();
    if (!sent)
        throw ClipboardInserterError::eventBuildFailed();
}

} // namespace vellamor
