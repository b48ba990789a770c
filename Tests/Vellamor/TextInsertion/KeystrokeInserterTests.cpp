#include "ErrorOf.h"
#include "FakeKeyInjector.h"
#include "QtPrinters.h"
#include "RecordingInsertionSleep.h"

#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserterError.h"
#include "TextInsertion/KeystrokePlan.h"

#include <gmock/gmock.h>

#include <functional>

namespace vellamor::test
{
namespace
{

using namespace std::chrono_literals;
using Step = KeystrokePlan::Step;
using platform::InjectedKey;

// A layout with the lower-case letters on codes 10.., upper case with Shift,
// Enter on 36, Tab on 23.
KeystrokePlan::Layout letters(int spare)
{
    KeystrokePlan::Layout layout;
    layout.keyForCharacter = [](char32_t c) -> std::optional<InjectedKey> {
        if (c >= U'a' && c <= U'z')
            return InjectedKey { 10 + static_cast<int>(c - U'a'), false };
        if (c >= U'A' && c <= U'Z')
            return InjectedKey { 10 + static_cast<int>(c - U'A'), true };
        return std::nullopt;
    };
    layout.keyForSpecial = [](platform::SpecialKey k) -> std::optional<InjectedKey> {
        if (k == platform::SpecialKey::enter)
            return InjectedKey { 36, false };
        if (k == platform::SpecialKey::tab)
            return InjectedKey { 23, false };
        return std::nullopt;
    };
    for (int i = 0; i < spare; ++i)
        layout.spareKeyCodes.push_back(200 + i);
    return layout;
}

Step press(int keyCode, bool shift = false)
{
    return { Step::Kind::press, {}, InjectedKey { keyCode, shift } };
}

Step map(std::vector<platform::KeyMapping> mapping)
{
    return { Step::Kind::map, std::move(mapping), {} };
}

// `count` distinct characters outside any keyboard layout.
QString distinctCharacters(int count)
{
    QString text;
    for (char32_t c = U'一'; c < U'一' + static_cast<char32_t>(count); ++c)
        text += QString::fromUcs4(&c, 1);
    return text;
}

TEST(KeystrokePlanTest, TypesLayoutCharactersOnTheirKeysAndMapsTheRestInBatches)
{
    struct Case {
        const char* name;
        QString text;
        int spare;
        int batch;
        std::vector<Step> expected;
    };
    const Case cases[] = {
        { "layoutOnly", QStringLiteral("aB"), 4, 16, { press(10), press(11, true) } },
        { "repeatsReuseTheirKey", QStringLiteral("中文中"), 4, 16,
            { map({ { 200, U'中' }, { 201, U'文' } }), press(200), press(201), press(200),
                map({ { 200, 0 }, { 201, 0 } }) } },
        { "layoutBetweenMapped", QStringLiteral("a中b文c"), 4, 16,
            { map({ { 200, U'中' }, { 201, U'文' } }), press(10), press(200), press(11), press(201), press(12),
                map({ { 200, 0 }, { 201, 0 } }) } },
        { "emojiIsOneKey", QStringLiteral("🎉"), 4, 16, { map({ { 200, U'🎉' } }), press(200), map({ { 200, 0 } }) } },
        { "remapsOnlyWhenTheBatchRunsOut", QStringLiteral("中文字中"), 4, 2,
            { map({ { 200, U'中' }, { 201, U'文' } }), press(200), press(201), map({ { 200, U'字' }, { 201, U'中' } }),
                press(200), press(201), map({ { 200, 0 }, { 201, 0 } }) } },
        { "fewerSpareKeysThanBatch", QStringLiteral("中文字"), 1, 16,
            { map({ { 200, U'中', U'文' } }), press(200), press(200, true), map({ { 200, U'字' } }), press(200),
                map({ { 200, 0 } }) } },
        { "lineBreaksAndTabs", QStringLiteral("a\r\nb\nc\rd\te"), 0, 16,
            { press(10), press(36), press(11), press(36), press(12), press(36), press(13), press(23), press(14) } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto plan = KeystrokePlan::make(c.text, letters(c.spare), c.batch);
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->steps(), c.expected);
        const auto presses = std::count_if(
            c.expected.begin(), c.expected.end(), [](const Step& s) { return s.kind == Step::Kind::press; });
        EXPECT_EQ(plan->characterCount(), presses);
    }
}

TEST(KeystrokePlanTest, BatchesTakeTheNextDistinctCharactersUpToTheBatchSize)
{
    const QString text = distinctCharacters(40);
    const auto plan = KeystrokePlan::make(text + text.left(3), letters(32), 16);
    ASSERT_TRUE(plan);
    std::vector<std::size_t> batches;
    for (const auto& step : plan->steps()) {
        if (step.kind == Step::Kind::map)
            batches.push_back(step.mapping.size());
    }
    // 16 + 16, then the last 8 with the first three again (they come up
    // next), then the clearing step over the 16 codes used.
    EXPECT_EQ(batches, (std::vector<std::size_t> { 16, 16, 11, 16 }));
    EXPECT_EQ(plan->characterCount(), 43);
}

class KeystrokeInserterTest : public ::testing::Test
{
protected:
    KeystrokeInserter inserter()
    {
        return KeystrokeInserter(
            injector_, [this](bool ignoring) { guard_.push_back(ignoring); }, sleep_.sleep());
    }

    void type(const QString& text)
    {
        auto keyboard = inserter();
        EXPECT_NO_THROW(runBlocking(keyboard.insert(text)));
    }

    RecordingInsertionSleep sleep_;
    std::shared_ptr<FakeKeyInjector> injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
    std::vector<bool> guard_;
};

TEST_F(KeystrokeInserterTest, MixedTextArrivesIntactAndKeymapAndCapsLockAreLeftAsFound)
{
    // Applications that take almost the whole settle time to reload their
    // keymap, and more distinct characters than the 16 spare keys hold.
    injector_->keymapDelay = 19ms;
    const QString text
        = QStringLiteral("Hello, 世界! 🎉 ok\n第二行 done ") + distinctCharacters(20) + QStringLiteral(" x");
    injector_->capsLock = true;
    bool guarded = true;
    injector_->onTap = [&](const FakeKeyInjector::Tap& tap) {
        guarded = guarded && guard_ == std::vector<bool> { true } && !tap.capsLock;
    };
    type(text);
    EXPECT_EQ(injector_->typed(), text);
    EXPECT_TRUE(injector_->races().isEmpty()) << injector_->races().join(u'\n').toStdString();
    EXPECT_TRUE(injector_->currentMapping().empty());
    EXPECT_EQ(injector_->capsLockChanges(), (std::vector<bool> { false, true }));
    EXPECT_TRUE(guarded);
    EXPECT_EQ(guard_, (std::vector<bool> { true, false }));
    EXPECT_GE(injector_->flushCount(), 1);
}

TEST_F(KeystrokeInserterTest, PacesTwoMillisecondsAfterEveryCharacterIncludingTheLast)
{
    type(QStringLiteral("abc"));
    EXPECT_EQ(sleep_.waits(), (std::vector<std::chrono::milliseconds> { 2ms, 2ms, 2ms, 20ms }));
    ASSERT_EQ(injector_->taps().size(), 3u);
    EXPECT_EQ(injector_->taps()[1].at - injector_->taps()[0].at, 2ms);
}

// A browser reads keys long after they were typed: the mapping of the last
// characters must outlive its reading, also when Latin text follows them, yet
// the caller does not wait for it: the next insertion does.
TEST_F(KeystrokeInserterTest, SlowReaderReadsTheLastMappedCharactersBeforeTheMappingGoes)
{
    for (const QString& text : { QStringLiteral("今天 ok 🎉👍 done and more latin text"),
             QString(distinctCharacters(40) + QStringLiteral(" end")) }) {
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        injector_->readPerKey = 16ms;
        auto keyboard = inserter();
        const auto start = sleep_.clock()->now;
        EXPECT_NO_THROW(runBlocking(keyboard.insert(text)));
        EXPECT_LT(sleep_.clock()->now - start, text.size() * 16ms);
        EXPECT_NO_THROW(runBlocking(keyboard.insert(QStringLiteral("."))));
        EXPECT_EQ(injector_->typed(), text + u'.');
        EXPECT_TRUE(injector_->races().isEmpty()) << injector_->races().join(u'\n').toStdString();
    }
}

// A busy browser takes a keymap change in long after it was made: the keys
// mapped for it are typed once it answers, however long that takes, and
// after the limit without an answer.
TEST_F(KeystrokeInserterTest, KeysOnANewMappingWaitForTheTargetToAnswerThatItTookItIn)
{
    const QString text = QStringLiteral("你好，世界 ok");
    struct Case {
        const char* name;
        std::chrono::milliseconds keymapDelay;
        bool answersPings;
        bool arrivesWhole;
        std::chrono::milliseconds firstKeyAt;
    };
    const Case cases[] = {
        { "busyTarget", 700ms, true, true, 700ms },
        { "quickTarget", 5ms, true, true, 20ms },
        { "noAnswerWithinTheLimit", 5000ms, true, false, 2000ms },
        { "cannotBeAsked", 5ms, false, true, 20ms },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        injector_->keymapDelay = c.keymapDelay;
        injector_->answersPings = c.answersPings;
        const auto start = sleep_.clock()->now;
        // Kept until the end: an inserter's end gives the keys back at once.
        auto keyboard = inserter();
        EXPECT_NO_THROW(runBlocking(keyboard.insert(text)));
        ASSERT_FALSE(injector_->taps().empty());
        EXPECT_EQ(injector_->taps().front().at - start, c.firstKeyAt);
        EXPECT_EQ(injector_->typed() == text, c.arrivesWhole) << injector_->typed().toStdString();
        EXPECT_EQ(injector_->pingCount(), c.answersPings ? 1 : 0);
    }
}

// A slow reader (a browser) has the keys the last text left mapped: the next
// text types their characters on them and its others on free keys, waiting
// for nothing; only when too few keys are free does it wait, under a second.
TEST_F(KeystrokeInserterTest, NextTextReusesTheKeysLeftMappedAndWaitsUnderASecond)
{
    const QString many = distinctCharacters(32);
    struct Case {
        const char* name;
        QString first;
        QString second;
        // From the second insertion's start to its first key.
        std::chrono::milliseconds firstKeyBefore;
        int secondMappings;
        bool exact = true;
    };
    const Case cases[] = {
        { "sameCharacters", QStringLiteral("今天好"), QStringLiteral("好，今天"), 20ms, 1 },
        { "sameCharactersOnly", QStringLiteral("今天好"), QStringLiteral("好今天"), 0ms, 0 },
        { "othersOnFreeKeys", QStringLiteral("今天"), QStringLiteral("明白"), 20ms, 1 },
        // Every spare key holds a character of the first text.
        { "tooFewFreeKeys", many, QStringLiteral("明白"), 500ms, 2 },
        // The reader would need 48 s for the latin text before the last key.
        { "longTextBacklog", QString(3000, u'a') + many, QStringLiteral("明白"), 900ms, 2, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        injector_->readPerKey = 16ms;
        auto keyboard = inserter();
        EXPECT_NO_THROW(runBlocking(keyboard.insert(c.first)));
        const std::size_t firstTaps = injector_->taps().size();
        const std::size_t firstMappings = injector_->mappings().size();
        const auto start = sleep_.clock()->now;
        EXPECT_NO_THROW(runBlocking(keyboard.insert(c.second)));

        ASSERT_GT(injector_->taps().size(), firstTaps);
        EXPECT_LE(injector_->taps()[firstTaps].at - start, c.firstKeyBefore);
        EXPECT_EQ(injector_->mappings().size() - firstMappings, static_cast<std::size_t>(c.secondMappings));
        if (c.exact) {
            EXPECT_EQ(injector_->typed(), c.first + c.second);
            EXPECT_TRUE(injector_->races().isEmpty()) << injector_->races().join(u'\n').toStdString();
        }
    }
}

// A layout switch loads a whole keymap: the key codes the last text left
// mapped come back empty, or with a character of the new layout. Nothing is
// typed on them and the new layout's characters stay, whenever it came.
TEST_F(KeystrokeInserterTest, AKeymapReplacedByAnotherClientIsNeitherTypedOnNorCleared)
{
    const std::map<int, platform::KeyMapping> newLayout { { 200, { 200, U'é', 0 } } };
    enum class When { betweenTexts, afterTheLastText, whileWaitingToClear };
    struct Case {
        const char* name;
        QString first;
        QString second;
        When when;
    };
    const Case cases[] = {
        { "betweenTexts", QStringLiteral("今天好"), QStringLiteral("好今天，明白"), When::betweenTexts },
        { "afterTheLastText", QStringLiteral("今天好"), QString(), When::afterTheLastText },
        // Every spare key holds a character of the first text: they are
        // cleared for the second, after a wait for the reader.
        { "whileWaitingToClear", distinctCharacters(32), QStringLiteral("明白"), When::whileWaitingToClear },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        bool replaceAtNextWait = false;
        const auto waits = sleep_.sleep();
        {
            KeystrokeInserter keyboard(injector_, nullptr, [&](std::chrono::milliseconds wait) {
                if (std::exchange(replaceAtNextWait, false))
                    injector_->replaceKeymap(newLayout);
                return waits(wait);
            });
            EXPECT_NO_THROW(runBlocking(keyboard.insert(c.first)));
            if (c.when == When::betweenTexts)
                injector_->replaceKeymap(newLayout);
            replaceAtNextWait = c.when == When::whileWaitingToClear;
            EXPECT_NO_THROW(runBlocking(keyboard.insert(c.second)));
            EXPECT_FALSE(replaceAtNextWait);
            if (c.when == When::afterTheLastText)
                injector_->replaceKeymap(newLayout);
        }
        EXPECT_EQ(injector_->typed(), c.first + c.second);
        EXPECT_EQ(injector_->currentMapping(), newLayout);
    }
}

// Typing would turn into shortcuts in the target (Ctrl+S, Ctrl+V) while the
// user holds a modifier, the hotkey among them.
TEST_F(KeystrokeInserterTest, PausesWhileTheUserHoldsAModifierMidText)
{
    const QString text = QStringLiteral("ab中文cd");
    injector_->onTap = [this](const FakeKeyInjector::Tap&) {
        if (injector_->taps().size() == 2)
            injector_->modifiersHeldUntil = sleep_.clock()->now + 3s;
    };
    type(text);
    EXPECT_EQ(injector_->typed(), text);
    EXPECT_EQ(injector_->releaseCount(), 0);
    ASSERT_EQ(injector_->taps().size(), 6u);
    EXPECT_GE(injector_->taps()[2].at - injector_->taps()[1].at, 3s);
}

TEST_F(KeystrokeInserterTest, WaitsForTheUsersModifiersThenReleasesThemAfterTwoSeconds)
{
    injector_->modifiersHeldUntil = 100ms;
    type(QStringLiteral("a"));
    ASSERT_EQ(injector_->taps().size(), 1u);
    EXPECT_GE(injector_->taps()[0].at, 100ms);
    EXPECT_EQ(injector_->releaseCount(), 0);

    injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
    const auto start = sleep_.clock()->now;
    injector_->modifiersHeldUntil = start + 60s;
    type(QStringLiteral("a"));
    EXPECT_EQ(injector_->releaseCount(), 1);
    ASSERT_EQ(injector_->taps().size(), 1u);
    EXPECT_GE(injector_->taps()[0].at - start, 2s);
    EXPECT_LT(injector_->taps()[0].at - start, 2100ms);
}

// Another client's keymap load right after the `count`th key, which the
// application takes in at once.
void loadKeymapAfterTap(FakeKeyInjector& injector, std::size_t count)
{
    injector.keymapDelay = 0ms;
    injector.onTap = [&injector, count](const FakeKeyInjector::Tap&) {
        if (injector.taps().size() == count + 1)
            injector.replaceKeymap();
    };
}

TEST_F(KeystrokeInserterTest, FailuresLeaveKeymapCapsLockAndGuardAsFound)
{
    struct Case {
        const char* name;
        std::function<void(FakeKeyInjector&)> arrange;
        QString text;
        KeystrokeInserterError expected;
        // What was typed before the failure stays typed.
        QString typed;
        std::vector<bool> guard;
    };
    const Case cases[] = {
        { "noSyntheticInput", [](FakeKeyInjector& injector) { injector.available = false; }, QStringLiteral("abc"),
            KeystrokeInserterError::sourceUnavailable(), QString(), {} },
        { "untypableText", [](FakeKeyInjector& injector) { injector.spareCount = 0; }, QStringLiteral("abc 中"),
            KeystrokeInserterError::buildFailed(0), QString(), {} },
        { "keyRefused", [](FakeKeyInjector& injector) { injector.refuseTapsFrom = 3; }, QStringLiteral("中文abc"),
            KeystrokeInserterError::buildFailed(3), QStringLiteral("中文a"), { true, false } },
        { "mappingChangeRefused", [](FakeKeyInjector& injector) { injector.refuseMappingCall = 1; },
            distinctCharacters(40), KeystrokeInserterError::buildFailed(32), distinctCharacters(32), { true, false } },
        // Accepted, yet another client took the key codes at once.
        { "firstMappingVanishes", [](FakeKeyInjector& injector) { injector.vanishingMappingCall = 0; },
            QStringLiteral("ab中文"), KeystrokeInserterError::buildFailed(0), QString(), { true, false } },
        // Another client loads a whole keymap (setxkbmap) after the 10th or
        // the 35th key: the keys after it carry nothing, in the last batch too.
        { "keymapLoadedMidBatch", [](FakeKeyInjector& injector) { loadKeymapAfterTap(injector, 10); },
            distinctCharacters(40), KeystrokeInserterError::buildFailed(32), distinctCharacters(10), { true, false } },
        { "keymapLoadedInTheLastBatch", [](FakeKeyInjector& injector) { loadKeymapAfterTap(injector, 35); },
            distinctCharacters(40), KeystrokeInserterError::buildFailed(40), distinctCharacters(35), { true, false } },
        { "laterMappingVanishes", [](FakeKeyInjector& injector) { injector.vanishingMappingCall = 1; },
            distinctCharacters(40), KeystrokeInserterError::buildFailed(32), distinctCharacters(32), { true, false } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        injector_ = std::make_shared<FakeKeyInjector>(sleep_.clock());
        injector_->capsLock = true;
        guard_.clear();
        c.arrange(*injector_);
        {
            auto keyboard = inserter();
            EXPECT_EQ(errorOf<KeystrokeInserterError>(keyboard.insert(c.text)), c.expected);
            EXPECT_EQ(injector_->typed(), c.typed);
        }
        EXPECT_TRUE(injector_->currentMapping().empty());
        EXPECT_TRUE(injector_->races().isEmpty());
        EXPECT_TRUE(injector_->capsLock);
        EXPECT_EQ(guard_, c.guard);
    }
}

} // namespace
} // namespace vellamor::test
