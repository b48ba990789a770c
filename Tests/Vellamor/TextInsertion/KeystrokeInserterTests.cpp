#include "ErrorOf.h"
#include "FakeKeyInjector.h"
#include "QtPrinters.h"
#include "RecordingInsertionSleep.h"

#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserterError.h"
#include "TextInsertion/KeystrokePlan.h"

#include <gmock/gmock.h>

#include <set>

namespace vellamor::test {
namespace {

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
            return InjectedKey{10 + static_cast<int>(c - U'a'), false};
        if (c >= U'A' && c <= U'Z')
            return InjectedKey{10 + static_cast<int>(c - U'A'), true};
        return std::nullopt;
    };
    layout.keyForSpecial = [](platform::SpecialKey k) -> std::optional<InjectedKey> {
        if (k == platform::SpecialKey::enter)
            return InjectedKey{36, false};
        if (k == platform::SpecialKey::tab)
            return InjectedKey{23, false};
        return std::nullopt;
    };
    for (int i = 0; i < spare; ++i)
        layout.spareKeyCodes.push_back(200 + i);
    return layout;
}

Step press(int keyCode, bool shift = false)
{
    return {Step::Kind::press, {}, InjectedKey{keyCode, shift}};
}

Step map(std::vector<std::pair<int, char32_t>> mapping)
{
    return {Step::Kind::map, std::move(mapping), {}};
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
        {"layoutOnly", QStringLiteral("aB"), 4, 16, {press(10), press(11, true)}},
        {"repeatsReuseTheirKey", QStringLiteral("中文中"), 4, 16,
         {map({{200, U'中'}, {201, U'文'}}), press(200), press(201), press(200), map({{200, 0}, {201, 0}})}},
        {"layoutBetweenMapped", QStringLiteral("a中b文c"), 4, 16,
         {press(10), map({{200, U'中'}, {201, U'文'}}), press(200), press(11), press(201), press(12),
          map({{200, 0}, {201, 0}})}},
        {"emojiIsOneKey", QStringLiteral("🎉"), 4, 16, {map({{200, U'🎉'}}), press(200), map({{200, 0}})}},
        {"remapsOnlyWhenTheBatchRunsOut", QStringLiteral("中文字中"), 4, 2,
         {map({{200, U'中'}, {201, U'文'}}), press(200), press(201), map({{200, U'字'}, {201, U'中'}}), press(200),
          press(201), map({{200, 0}, {201, 0}})}},
        {"fewerSpareKeysThanBatch", QStringLiteral("中文字"), 1, 16,
         {map({{200, U'中'}}), press(200), map({{200, U'文'}}), press(200), map({{200, U'字'}}), press(200),
          map({{200, 0}})}},
        {"lineBreaksAndTabs", QStringLiteral("a\r\nb\nc\rd\te"), 0, 16,
         {press(10), press(36), press(11), press(36), press(12), press(36), press(13), press(23), press(14)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto plan = KeystrokePlan::make(c.text, letters(c.spare), c.batch);
        ASSERT_TRUE(plan);
        EXPECT_EQ(plan->steps(), c.expected);
        const auto presses = std::count_if(c.expected.begin(), c.expected.end(),
                                           [](const Step& s) { return s.kind == Step::Kind::press; });
        EXPECT_EQ(plan->characterCount(), presses);
    }
}

TEST(KeystrokePlanTest, BatchesHoldAtMostSixteenDistinctCharacters)
{
    QString text;
    for (char32_t c = U'一'; c < U'一' + 40; ++c)
        text += QString::fromUcs4(&c, 1);
    const auto plan = KeystrokePlan::make(text + text.left(3), letters(32));
    ASSERT_TRUE(plan);
    std::vector<std::size_t> batches;
    for (const auto& step : plan->steps()) {
        if (step.kind == Step::Kind::map)
            batches.push_back(step.mapping.size());
    }
    // 16 + 16, then the last 8 with the first three again (they come up
    // next), then the clearing step over the 16 codes used.
    EXPECT_EQ(batches, (std::vector<std::size_t>{16, 16, 11, 16}));
    EXPECT_EQ(plan->characterCount(), 43);
}

TEST(KeystrokePlanTest, TextThatCannotBeTypedGivesNoPlan)
{
    EXPECT_FALSE(KeystrokePlan::make(QStringLiteral("ab中"), letters(0)));
    auto noEnter = letters(4);
    noEnter.keyForSpecial = nullptr;
    EXPECT_FALSE(KeystrokePlan::make(QStringLiteral("a\nb"), noEnter));
    EXPECT_TRUE(KeystrokePlan::make(QStringLiteral("ab"), letters(0)));
}

class KeystrokeInserterTest : public ::testing::Test {
protected:
    KeystrokeInserter inserter()
    {
        return KeystrokeInserter(
            injector_, [this](bool ignoring) { guard_.push_back(ignoring); }, sleep_.sleep());
    }

    std::optional<KeystrokeInserterError> errorTyping(const QString& text)
    {
        auto keyboard = inserter();
        return errorOf<KeystrokeInserterError>(keyboard.insert(text));
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

TEST_F(KeystrokeInserterTest, MixedTextArrivesIntactAndTheKeymapIsLeftAsFound)
{
    const QString text = QStringLiteral("Hello, 世界! 🎉 ok\n第二行 done");
    bool guarded = true;
    injector_->onTap = [&](const FakeKeyInjector::Tap&) { guarded = guarded && guard_ == std::vector<bool>{true}; };
    type(text);
    EXPECT_EQ(injector_->typed(), text);
    EXPECT_TRUE(injector_->races().isEmpty()) << injector_->races().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(injector_->currentMapping().empty());
    EXPECT_TRUE(guarded);
    EXPECT_EQ(guard_, (std::vector<bool>{true, false}));
    EXPECT_GE(injector_->flushCount(), 1);
}

TEST_F(KeystrokeInserterTest, PacesTwoMillisecondsAfterEveryCharacterIncludingTheLast)
{
    type(QStringLiteral("abc"));
    EXPECT_EQ(sleep_.waits(), (std::vector<std::chrono::milliseconds>{2ms, 2ms, 2ms, 20ms}));
    ASSERT_EQ(injector_->taps().size(), 3u);
    EXPECT_EQ(injector_->taps()[1].at - injector_->taps()[0].at, 2ms);
}

TEST_F(KeystrokeInserterTest, ManyDistinctCharactersSurviveSlowKeymapReloads)
{
    // Applications that take almost the whole settle time to reload.
    injector_->keymapDelay = 49ms;
    QString text;
    for (char32_t c = U'一'; c < U'一' + 40; ++c) {
        text += QString::fromUcs4(&c, 1);
        text += QLatin1Char(c % 3 == 0 ? ' ' : 'x');
    }
    type(text);
    EXPECT_EQ(injector_->typed(), text);
    EXPECT_TRUE(injector_->races().isEmpty()) << injector_->races().join(QLatin1Char('\n')).toStdString();
    for (const auto& mapping : injector_->mappings())
        EXPECT_LE(mapping.size(), 16u);
}

TEST_F(KeystrokeInserterTest, WithoutSettleTimeAtMappingChangesCharactersGetLostOrDoubled)
{
    KeystrokeInserter::Pacing hurried;
    hurried.mappingSettle = 5ms;
    KeystrokeInserter keyboard(injector_, nullptr, sleep_.sleep(), hurried);
    injector_->spareCount = 1;
    runBlocking(keyboard.insert(QStringLiteral("世界你好")));
    EXPECT_NE(injector_->typed(), QStringLiteral("世界你好"));
    EXPECT_FALSE(injector_->races().isEmpty());
}

TEST_F(KeystrokeInserterTest, CapsLockIsSwitchedOffWhileTypingAndBackOnAfter)
{
    injector_->capsLock = true;
    type(QStringLiteral("Hello 中"));
    EXPECT_EQ(injector_->typed(), QStringLiteral("Hello 中"));
    EXPECT_EQ(injector_->capsLockChanges(), (std::vector<bool>{false, true}));
    EXPECT_TRUE(injector_->capsLock);
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

TEST_F(KeystrokeInserterTest, NoSyntheticInputIsSourceUnavailableBeforeAnything)
{
    injector_->available = false;
    const auto error = errorTyping(QStringLiteral("abc"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, KeystrokeInserterError::sourceUnavailable());
    EXPECT_TRUE(injector_->taps().empty());
    EXPECT_TRUE(guard_.empty());
}

TEST_F(KeystrokeInserterTest, UntypableTextFailsBeforeTypingAnything)
{
    injector_->spareCount = 0;
    const auto error = errorTyping(QStringLiteral("abc 中"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, KeystrokeInserterError::buildFailed(0));
    EXPECT_TRUE(injector_->taps().empty());
}

TEST_F(KeystrokeInserterTest, RefusedKeyReportsHowManyCharactersWereTypedAndCleansUp)
{
    injector_->refuseTapsFrom = 3;
    injector_->capsLock = true;
    const auto error = errorTyping(QStringLiteral("中文abc"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, KeystrokeInserterError::buildFailed(3));
    EXPECT_EQ(injector_->typed(), QStringLiteral("中文a"));
    EXPECT_TRUE(injector_->currentMapping().empty());
    EXPECT_TRUE(injector_->capsLock);
    EXPECT_EQ(guard_, (std::vector<bool>{true, false}));
}

TEST_F(KeystrokeInserterTest, RefusedMappingChangeStopsTypingAndClearsWhatWasMapped)
{
    QString text;
    for (char32_t c = U'一'; c < U'一' + 20; ++c)
        text += QString::fromUcs4(&c, 1);
    injector_->refuseMappingCall = 1;
    const auto error = errorTyping(text);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, KeystrokeInserterError::buildFailed(16));
    EXPECT_EQ(injector_->typed(), text.left(16));
    EXPECT_TRUE(injector_->currentMapping().empty());
    EXPECT_TRUE(injector_->races().isEmpty());
}

TEST_F(KeystrokeInserterTest, EmptyTextDoesNothing)
{
    type(QString());
    EXPECT_TRUE(injector_->taps().empty());
    EXPECT_TRUE(sleep_.waits().empty());
    EXPECT_TRUE(guard_.empty());
}

TEST_F(KeystrokeInserterTest, BuildEventsCountsADownAndAnUpPerCharacter)
{
    auto keyboard = inserter();
    EXPECT_EQ(keyboard.buildEvents(QString()), 0);
    // Three scalars, the last above U+FFFF: six events.
    EXPECT_EQ(keyboard.buildEvents(QStringLiteral("a中🎉")), 6);
    EXPECT_TRUE(injector_->taps().empty());
    EXPECT_TRUE(injector_->mappings().empty());
    injector_->available = false;
    EXPECT_THROW(keyboard.buildEvents(QStringLiteral("a")), KeystrokeInserterError);
}

} // namespace
} // namespace vellamor::test
