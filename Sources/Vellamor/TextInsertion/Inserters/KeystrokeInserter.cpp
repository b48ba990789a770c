#include "TextInsertion/Inserters/KeystrokeInserter.h"

#include "TextInsertion/Inserters/KeystrokeInserterError.h"
#include "TextInsertion/ModifierRelease.h"

#include <set>

namespace vellamor {

KeystrokeInserter::KeystrokeInserter(std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep)
    : KeystrokeInserter(std::move(injector), std::move(ignoreSynthetic), std::move(sleep), Pacing{})
{
}

KeystrokeInserter::KeystrokeInserter(std::shared_ptr<platform::KeyInjector> injector,
                                     SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep, Pacing pacing)
    : injector_(std::move(injector))
    , ignoreSynthetic_(std::move(ignoreSynthetic))
    , sleep_(std::move(sleep))
    , pacing_(pacing)
{
}

std::optional<KeystrokePlan> KeystrokeInserter::plan(platform::KeyInjector& injector, const QString& text)
{
    KeystrokePlan::Layout layout;
    layout.keyForCharacter = [&injector](char32_t c) { return injector.keyForCharacter(c); };
    layout.keyForSpecial = [&injector](platform::SpecialKey k) { return injector.keyForSpecial(k); };
    layout.spareKeyCodes = injector.spareKeyCodes(KeystrokePlan::maximumBatch);
    return KeystrokePlan::make(text, layout);
}

int KeystrokeInserter::buildEvents(const QString& text)
{
    if (text.isEmpty())
        return 0;
    if (!injector_->isAvailable())
        throw KeystrokeInserterError::sourceUnavailable();
    const auto keystrokes = plan(*injector_, text);
    if (!keystrokes)
        throw KeystrokeInserterError::buildFailed(0);
    return 2 * keystrokes->characterCount();
}

QCoro::Task<void> KeystrokeInserter::insert(QString text)
{
    if (text.isEmpty())
        co_return;
    // The coroutine may outlive a caller's reference to this inserter.
    const auto injector = injector_;
    const auto sleep = sleep_;
    const auto ignoreSynthetic = ignoreSynthetic_;
    const Pacing pacing = pacing_;
    if (!injector->isAvailable())
        throw KeystrokeInserterError::sourceUnavailable();

    co_await ModifierRelease::wait(injector, sleep, pacing.modifierPoll, pacing.modifierTimeout);
    const auto keystrokes = plan(*injector, text);
    if (!keystrokes)
        throw KeystrokeInserterError::buildFailed(0);

    SyntheticInputGuard guard(ignoreSynthetic);
    guard.begin();
    const bool capsLock = injector->capsLockOn();
    if (capsLock)
        injector->setCapsLock(false);

    // Only keys whose mapping changes need the pauses; the layout's own keys
    // read the same before and after.
    int posted = 0;
    bool typedMappedKey = false;
    bool refused = false;
    std::set<int> mapped;
    for (const auto& step : keystrokes->steps()) {
        if (step.kind == KeystrokePlan::Step::Kind::press) {
            if (!injector->tap(step.key)) {
                refused = true;
                break;
            }
            ++posted;
            typedMappedKey = typedMappedKey || mapped.contains(step.key.keyCode);
            co_await sleep(pacing.perCharacter);
            continue;
        }
        if (typedMappedKey) {
            co_await sleep(pacing.mappingSettle);
            typedMappedKey = false;
        }
        if (!injector->mapKeyCodes(step.mapping)) {
            refused = true;
            break;
        }
        bool clearing = true;
        for (const auto& [keyCode, character] : step.mapping) {
            if (character == 0) {
                mapped.erase(keyCode);
            } else {
                mapped.insert(keyCode);
                clearing = false;
            }
        }
        if (!clearing)
            co_await sleep(pacing.mappingSettle);
    }

    if (!mapped.empty()) {
        if (typedMappedKey)
            co_await sleep(pacing.mappingSettle);
        std::vector<std::pair<int, char32_t>> clear;
        for (int keyCode : mapped)
            clear.emplace_back(keyCode, char32_t(0));
        injector->mapKeyCodes(clear);
    }
    if (capsLock)
        injector->setCapsLock(true);
    injector->flush();
    co_await sleep(pacing.releaseSettle);
    guard.end();
    if (refused)
        throw KeystrokeInserterError::buildFailed(posted);
}

} // namespace vellamor
