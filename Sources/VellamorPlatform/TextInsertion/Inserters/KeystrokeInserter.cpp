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

// One text typed: the plan's steps in order, and what the pauses before a
// key code changes need to know of the keys typed so far. Times count from
// the start of typing.
class KeystrokeInserter::Run {
public:
    Run(std::shared_ptr<platform::KeyInjector> injector, InsertionSleep sleep, Pacing pacing,
        milliseconds perCharacter, std::shared_ptr<LeftMapping> left)
        : injector_(std::move(injector))
        , sleep_(std::move(sleep))
        , pacing_(pacing)
        , perCharacter_(perCharacter)
        , left_(std::move(left))
        , readerDone_(left_->remaining())
        , mapped_(left_->keys)
    {
        // The keys the last text left mapped may still be unread.
        for (const auto& [keyCode, mapping] : mapped_)
            readBy_[keyCode] = readerDone_;
    }

    // Leaves the last mapping, also of a run that stopped early, to `left`.
    QCoro::Task<Typed> typeAll(KeystrokePlan keystrokes)
    {
        bool stopped = false;
        for (const auto& step : keystrokes.steps()) {
            if (step.kind == KeystrokePlan::Step::Kind::press)
                stopped = !co_await press(step.key);
            else
                stopped = !co_await remap(step);
            if (stopped)
                break;
        }
        const bool refused = stopped || !typedOnStillHeld();
        leaveMapped();
        co_return Typed { posted_, refused };
    }

private:
    // Types the key once no modifier is held; false when it was refused.
    QCoro::Task<bool> press(platform::InjectedKey key)
    {
        auto outcome = injector_->tapUnlessModifiersHeld(key);
        while (outcome == platform::KeyInjector::TapOutcome::modifiersHeld) {
            now_ += co_await ModifierRelease::wait(injector_, sleep_, pacing_.modifierPoll, pacing_.heldModifierLimit);
            outcome = injector_->tapUnlessModifiersHeld(key);
        }
        if (outcome != platform::KeyInjector::TapOutcome::tapped)
            co_return false;
        ++posted_;
        readerDone_ = std::max(readerDone_, now_) + pacing_.readPerKey;
        if (mapped_.contains(key.keyCode)) {
            readBy_[key.keyCode] = readerDone_;
            typedOn_.insert(key.keyCode);
        }
        co_await sleep_(perCharacter_);
        now_ += perCharacter_;
        co_return true;
    }

    // Gives key codes new characters once a slow reader has read the keys
    // typed on them; false when a mapping was refused or lost. A step that
    // only empties key codes is left to the next insertion.
    QCoro::Task<bool> remap(KeystrokePlan::Step step)
    {
        if (clears(step))
            co_return true;
        if (!typedOnStillHeld())
            co_return false;
        co_await waitForReader(step.mapping);
        if (!injector_->mapKeyCodes(step.mapping))
            co_return false;
        for (const auto& mapping : step.mapping) {
            mapped_[mapping.keyCode] = mapping;
            readBy_.erase(mapping.keyCode);
        }
        now_ += co_await settleMapping(injector_, sleep_, pacing_);
        co_return holds(injector_->ownMappings(), step.mapping);
    }

    QCoro::Task<void> waitForReader(std::vector<platform::KeyMapping> codes)
    {
        const auto reading = pendingReading(codes);
        if (!reading)
            co_return;
        const auto wait = std::max(pacing_.unmappingSettle, *reading);
        co_await sleep_(wait);
        now_ += wait;
    }

    // How long until a slow reader has read the keys typed on `codes`; none
    // when nothing was typed on them.
    std::optional<milliseconds> pendingReading(const std::vector<platform::KeyMapping>& codes) const
    {
        milliseconds due { -1 };
        for (const auto& mapping : codes) {
            if (const auto found = readBy_.find(mapping.keyCode); found != readBy_.end())
                due = std::max(due, found->second);
        }
        if (due < milliseconds(0))
            return std::nullopt;
        return std::clamp(due - now_, milliseconds(0), pacing_.readingCeiling);
    }

    // A keymap another client loads mid-text (setxkbmap) empties the key
    // codes: keys typed on them after it carry nothing, and which of them
    // came after it cannot be told. So the mappings keys were typed on are
    // read back before they change and at the end.
    bool typedOnStillHeld()
    {
        std::vector<platform::KeyMapping> used;
        for (const int keyCode : std::exchange(typedOn_, {}))
            used.push_back(mapped_.at(keyCode));
        return used.empty() || holds(injector_->ownMappings(), used);
    }

    void leaveMapped()
    {
        milliseconds due { 0 };
        for (const auto& [keyCode, when] : readBy_)
            due = std::max(due, when);
        left_->leave(mapped_, std::clamp(due - now_, milliseconds(0), pacing_.readingCeiling));
    }

    const std::shared_ptr<platform::KeyInjector> injector_;
    const InsertionSleep sleep_;
    const Pacing pacing_;
    const milliseconds perCharacter_;
    const std::shared_ptr<LeftMapping> left_;
    int posted_ = 0;
    milliseconds now_ { 0 };
    // When a slow reader will have read every key typed so far.
    milliseconds readerDone_;
    std::map<int, platform::KeyMapping> mapped_;
    // When the last key typed on each mapped key code will have been read.
    std::map<int, milliseconds> readBy_;
    std::set<int> typedOn_;
};

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
    Run run(injector, sleep, pacing, perCharacter, leftMapped);
    const Typed typed = co_await run.typeAll(std::move(*keystrokes));

    if (capsLock)
        injector->setCapsLock(true);
    injector->flush();
    co_await sleep(pacing.releaseSettle);
    guard.end();
    if (typed.refused)
        throw KeystrokeInserterError::buildFailed(typed.posted);
}

} // namespace vellamor
