#include "TextInsertion/Inserters/KeystrokeInserter.h"

#include "TextInsertion/Inserters/KeystrokeInserterError.h"
#include "TextInsertion/ModifierRelease.h"
#include "TextInsertion/TypingPace.h"

#include <algorithm>
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
    , leftMapped_(std::make_shared<LeftMapping>())
{
}

KeystrokeInserter::~KeystrokeInserter()
{
    // Nothing reads keys for long any more: the keymap goes back at once.
    if (leftMapped_->mapping.empty())
        return;
    injector_->mapKeyCodes(leftMapped_->mapping);
    injector_->flush();
}

void KeystrokeInserter::LeftMapping::leave(std::vector<platform::KeyMapping> clear, std::chrono::milliseconds readTime)
{
    mapping = std::move(clear);
    readingTime = readTime;
    since.start();
}

QCoro::Task<void> KeystrokeInserter::restoreKeymap(std::shared_ptr<platform::KeyInjector> injector, InsertionSleep sleep,
                                                   std::shared_ptr<LeftMapping> left)
{
    if (left->mapping.empty())
        co_return;
    const auto remaining = left->readingTime - std::chrono::milliseconds(left->since.elapsed());
    if (remaining > std::chrono::milliseconds(0))
        co_await sleep(remaining);
    injector->mapKeyCodes(left->mapping);
    left->mapping.clear();
}

std::optional<KeystrokePlan> KeystrokeInserter::plan(platform::KeyInjector& injector, const QString& text)
{
    KeystrokePlan::Layout layout;
    layout.keyForCharacter = [&injector](char32_t c) { return injector.keyForCharacter(c); };
    layout.keyForSpecial = [&injector](platform::SpecialKey k) { return injector.keyForSpecial(k); };
    // X11 numbers keys below 256: this asks for every spare one.
    layout.spareKeyCodes = injector.spareKeyCodes(256);
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
    const auto leftMapped = leftMapped_;
    if (!injector->isAvailable())
        throw KeystrokeInserterError::sourceUnavailable();

    co_await ModifierRelease::wait(injector, sleep, pacing.modifierPoll, pacing.modifierTimeout);
    co_await restoreKeymap(injector, sleep, leftMapped);
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
    const auto perCharacter =
        TypingPace::needsSlowPace(injector->activeWindowClass()) ? pacing.slowPerCharacter : pacing.perCharacter;
    int posted = 0;
    bool refused = false;
    std::set<int> mapped;
    // Since the last mapping change: keys typed up to the last one that
    // relies on it (0: none does), time spent typing.
    int keysToLastMapped = 0;
    int keysSinceMapping = 0;
    std::chrono::milliseconds sinceMapping{0};
    const auto settleBeforeChange = [&] {
        const auto reading = keysToLastMapped * pacing.readPerKey - sinceMapping;
        return std::max(pacing.unmappingSettle, reading);
    };
    for (const auto& step : keystrokes->steps()) {
        if (step.kind == KeystrokePlan::Step::Kind::press) {
            if (!injector->tap(step.key)) {
                refused = true;
                break;
            }
            ++posted;
            ++keysSinceMapping;
            if (mapped.contains(step.key.keyCode))
                keysToLastMapped = keysSinceMapping;
            co_await sleep(perCharacter);
            sinceMapping += perCharacter;
            continue;
        }
        const bool clearing = std::all_of(step.mapping.begin(), step.mapping.end(),
                                          [](const auto& m) { return m.plain == 0 && m.shifted == 0; });
        if (clearing) {
            leftMapped->leave(step.mapping, keysToLastMapped > 0 ? settleBeforeChange() : std::chrono::milliseconds(0));
            mapped.clear();
            continue;
        }
        if (keysToLastMapped > 0)
            co_await sleep(settleBeforeChange());
        keysToLastMapped = 0;
        if (!injector->mapKeyCodes(step.mapping)) {
            refused = true;
            break;
        }
        for (const auto& mapping : step.mapping)
            mapped.insert(mapping.keyCode);
        // A reader may take its time from the first key on.
        keysSinceMapping = 0;
        sinceMapping = std::chrono::milliseconds(0);
        co_await sleep(pacing.mappingSettle);
    }

    // Typing stopped early: the keys mapped so far go back the same way.
    if (!mapped.empty()) {
        std::vector<platform::KeyMapping> clear;
        for (int keyCode : mapped)
            clear.push_back({keyCode, 0, 0});
        leftMapped->leave(clear, keysToLastMapped > 0 ? settleBeforeChange() : std::chrono::milliseconds(0));
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
