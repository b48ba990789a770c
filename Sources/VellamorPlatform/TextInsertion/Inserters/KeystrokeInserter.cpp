#include "TextInsertion/Inserters/KeystrokeInserter.h"

#include "TextInsertion/Inserters/KeystrokeInserterError.h"
#include "TextInsertion/ModifierRelease.h"
#include "TextInsertion/TypingPace.h"

#include <algorithm>
#include <set>
#include <utility>

namespace vellamor {

namespace {

using std::chrono::milliseconds;

bool clears(const KeystrokePlan::Step& step)
{
    return std::all_of(
        step.mapping.begin(), step.mapping.end(), [](const auto& m) { return m.plain == 0 && m.shifted == 0; });
}

bool holds(const std::vector<platform::KeyMapping>& held, const std::vector<platform::KeyMapping>& mapping)
{
    return std::all_of(mapping.begin(), mapping.end(),
        [&held](const auto& m) { return std::find(held.begin(), held.end(), m) != held.end(); });
}

int remappings(const KeystrokePlan& plan)
{
    return static_cast<int>(std::count_if(plan.steps().begin(), plan.steps().end(),
        [](const auto& step) { return step.kind == KeystrokePlan::Step::Kind::map && !clears(step); }));
}

} // namespace

KeystrokeInserter::KeystrokeInserter(
    std::shared_ptr<platform::KeyInjector> injector, SyntheticInputGuard::Notify ignoreSynthetic, InsertionSleep sleep)
    : KeystrokeInserter(std::move(injector), std::move(ignoreSynthetic), std::move(sleep), Pacing {})
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
    leftMapped_->keepHeld(*injector_);
    if (leftMapped_->keys.empty())
        return;
    injector_->mapKeyCodes(leftMapped_->clearing());
    injector_->flush();
}

void KeystrokeInserter::LeftMapping::leave(std::map<int, platform::KeyMapping> mapped, milliseconds readTime)
{
    keys = std::move(mapped);
    readingTime = readTime;
    since.start();
}

void KeystrokeInserter::LeftMapping::keepHeld(platform::KeyInjector& injector)
{
    if (keys.empty())
        return;
    const auto held = injector.ownMappings();
    std::erase_if(keys, [&held](const auto& entry) { return !holds(held, { entry.second }); });
}

milliseconds KeystrokeInserter::LeftMapping::remaining() const
{
    if (keys.empty())
        return milliseconds(0);
    return std::max(milliseconds(0), readingTime - milliseconds(since.elapsed()));
}

std::vector<platform::KeyMapping> KeystrokeInserter::LeftMapping::clearing() const
{
    std::vector<platform::KeyMapping> clear;
    for (const auto& [keyCode, mapping] : keys)
        clear.push_back({ keyCode, 0, 0 });
    return clear;
}

QCoro::Task<void> KeystrokeInserter::restoreKeymap(
    std::shared_ptr<platform::KeyInjector> injector, InsertionSleep sleep, std::shared_ptr<LeftMapping> left)
{
    if (left->keys.empty())
        co_return;
    if (const auto remaining = left->remaining(); remaining > milliseconds(0))
        co_await sleep(remaining);
    left->keepHeld(*injector);
    if (!left->keys.empty())
        injector->mapKeyCodes(left->clearing());
    left->keys.clear();
}

std::optional<KeystrokePlan> KeystrokeInserter::plan(
    platform::KeyInjector& injector, const QString& text, const std::map<int, platform::KeyMapping>& left)
{
    KeystrokePlan::Layout layout;
    layout.keyForCharacter = [&injector, &left](char32_t c) -> std::optional<platform::InjectedKey> {
        if (const auto key = injector.keyForCharacter(c))
            return key;
        for (const auto& [keyCode, mapping] : left) {
            if (mapping.plain == c || mapping.shifted == c)
                return platform::InjectedKey { keyCode, mapping.plain != c };
        }
        return std::nullopt;
    };
    layout.keyForSpecial = [&injector](platform::SpecialKey k) { return injector.keyForSpecial(k); };
    // X11 numbers keys below 256: this asks for every spare one.
    layout.spareKeyCodes = injector.spareKeyCodes(256);
    std::erase_if(layout.spareKeyCodes, [&left](int keyCode) { return left.contains(keyCode); });
    return KeystrokePlan::make(text, layout);
}

int KeystrokeInserter::buildEvents(const QString& text)
{
    if (text.isEmpty())
        return 0;
    if (!injector_->isAvailable())
        throw KeystrokeInserterError::sourceUnavailable();
    const auto keystrokes = plan(*injector_, text, leftMapped_->keys);
    if (!keystrokes)
        throw KeystrokeInserterError::buildFailed(0);
    return 2 * keystrokes->characterCount();
}

QCoro::Task<milliseconds> KeystrokeInserter::settleMapping(
    std::shared_ptr<platform::KeyInjector> injector, InsertionSleep sleep, Pacing pacing)
{
    const auto ping = injector->pingFocusedWindow();
    co_await sleep(pacing.mappingSettle);
    milliseconds waited = pacing.mappingSettle;
    while (ping && waited < pacing.mappingAnswerLimit && !injector->pingAnswered(*ping)) {
        co_await sleep(pacing.mappingAnswerPoll);
        waited += pacing.mappingAnswerPoll;
    }
    co_return waited;
}

QCoro::Task<KeystrokeInserter::Typed> KeystrokeInserter::type(std::shared_ptr<platform::KeyInjector> injector,
    InsertionSleep sleep, Pacing pacing, milliseconds perCharacter, KeystrokePlan keystrokes,
    std::shared_ptr<LeftMapping> leftMapped)
{
    int posted = 0;
    bool refused = false;
    // Times from the start of typing: `now`, when a slow reader will have
    // read every key typed so far, and the last key typed on each mapped key
    // code. The keys the last text left mapped may still be unread.
    milliseconds now { 0 };
    milliseconds readerDone = leftMapped->remaining();
    std::map<int, platform::KeyMapping> mapped = leftMapped->keys;
    std::map<int, milliseconds> readBy;
    for (const auto& [keyCode, mapping] : mapped)
        readBy[keyCode] = readerDone;
    const auto pendingReading = [&](const std::vector<platform::KeyMapping>& codes) {
        milliseconds due { -1 };
        for (const auto& mapping : codes) {
            if (const auto found = readBy.find(mapping.keyCode); found != readBy.end())
                due = std::max(due, found->second);
        }
        return due < milliseconds(0) ? std::optional<milliseconds>()
                                     : std::optional(std::clamp(due - now, milliseconds(0), pacing.readingCeiling));
    };
    // A keymap another client loads mid-text (setxkbmap) empties the key
    // codes: keys typed on them after it carry nothing, and which of them
    // came after it cannot be told. So the mappings keys were typed on are
    // read back before they change and at the end.
    std::set<int> typedOn;
    const auto typedOnHeld = [&] {
        std::vector<platform::KeyMapping> used;
        for (const int keyCode : std::exchange(typedOn, {}))
            used.push_back(mapped[keyCode]);
        return used.empty() || holds(injector->ownMappings(), used);
    };
    const auto leave = [&] {
        milliseconds due { 0 };
        for (const auto& [keyCode, when] : readBy)
            due = std::max(due, when);
        leftMapped->leave(mapped, std::clamp(due - now, milliseconds(0), pacing.readingCeiling));
    };
    for (const auto& step : keystrokes.steps()) {
        if (step.kind == KeystrokePlan::Step::Kind::press) {
            auto outcome = injector->tapUnlessModifiersHeld(step.key);
            while (outcome == platform::KeyInjector::TapOutcome::modifiersHeld) {
                now += co_await ModifierRelease::wait(injector, sleep, pacing.modifierPoll, pacing.heldModifierLimit);
                outcome = injector->tapUnlessModifiersHeld(step.key);
            }
            if (outcome != platform::KeyInjector::TapOutcome::tapped) {
                refused = true;
                break;
            }
            ++posted;
            readerDone = std::max(readerDone, now) + pacing.readPerKey;
            if (mapped.contains(step.key.keyCode)) {
                readBy[step.key.keyCode] = readerDone;
                typedOn.insert(step.key.keyCode);
            }
            co_await sleep(perCharacter);
            now += perCharacter;
            continue;
        }
        if (clears(step))
            continue;
        if (!typedOnHeld()) {
            refused = true;
            break;
        }
        if (const auto reading = pendingReading(step.mapping)) {
            const auto wait = std::max(pacing.unmappingSettle, *reading);
            co_await sleep(wait);
            now += wait;
        }
        if (!injector->mapKeyCodes(step.mapping)) {
            refused = true;
            break;
        }
        for (const auto& mapping : step.mapping) {
            mapped[mapping.keyCode] = mapping;
            readBy.erase(mapping.keyCode);
        }
        now += co_await settleMapping(injector, sleep, pacing);
        if (!holds(injector->ownMappings(), step.mapping)) {
            refused = true;
            break;
        }
    }
    if (!refused && !typedOnHeld())
        refused = true;
    // The keys mapped so far (also when typing stopped early) go back later.
    leave();
    co_return Typed { posted, refused };
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
    leftMapped->keepHeld(*injector);
    auto keystrokes = plan(*injector, text, leftMapped->keys);
    // Batch after batch on the few key codes left over would wait for the
    // reader each time: better once, for the keys the last text left mapped.
    if (!leftMapped->keys.empty() && (!keystrokes || remappings(*keystrokes) > 1)) {
        co_await restoreKeymap(injector, sleep, leftMapped);
        keystrokes = plan(*injector, text, {});
    }
    if (!keystrokes)
        throw KeystrokeInserterError::buildFailed(0);

    SyntheticInputGuard guard(ignoreSynthetic);
    guard.begin();
    const bool capsLock = injector->capsLockOn();
    if (capsLock)
        injector->setCapsLock(false);

    // Only keys whose mapping changes need the pauses; the layout's own keys
    // read the same before and after.
    const auto perCharacter
        = TypingPace::needsSlowPace(injector->activeWindowClass()) ? pacing.slowPerCharacter : pacing.perCharacter;
    const Typed typed = co_await type(injector, sleep, pacing, perCharacter, std::move(*keystrokes), leftMapped);

    if (capsLock)
        injector->setCapsLock(true);
    injector->flush();
    co_await sleep(pacing.releaseSettle);
    guard.end();
    if (typed.refused)
        throw KeystrokeInserterError::buildFailed(typed.posted);
}

} // namespace vellamor
