#include "DesktopTest.h"
#include "PingCountingKeyInjector.h"
#include "QtPrinters.h"
#include "TextTarget.h"

#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"
#include "TextInsertion/Inserters/KeystrokeInserterError.h"

#include <algorithm>
#include <functional>

namespace vellamor::test {
namespace {

using platform::KeyMapping;

struct PingTarget {
    const char* widget;
    QString program;
};

void PrintTo(const PingTarget& target, std::ostream* os)
{
    *os << target.widget;
}

// Each toolkit sends its answer to a keymap change's ping to the root in a
// way of its own; one the injector misses holds the typing at every remap.
class KeymapPingDesktopTest : public DesktopTest, public ::testing::WithParamInterface<PingTarget> {
};

TEST_P(KeymapPingDesktopTest, EveryPingAfterARemapIsAnswered)
{
    // More characters outside the layout than one batch of spare keys holds.
    const QString text = QStringLiteral("第一行：今天我们讨论发布计划 🎉\n"
                                        "第二行：大家都觉得这个功能非常重要 😀✓\n"
                                        "第三行：需要尽快完成测试并且修复问题 OK");
    TextTarget target(GetParam().program, { QString::fromLatin1(GetParam().widget) });
    ASSERT_TRUE(target.isReady());
    auto injector = std::make_shared<PingCountingKeyInjector>(std::make_shared<platform::XTestKeyInjector>());
    {
        KeystrokeInserter keyboard(injector, nullptr);
        EXPECT_NO_THROW(runBlocking(keyboard.insert(text), hangCeiling));
    }
    const QString reported = QString(text).replace(u'\n', u'|');
    EXPECT_EQ(target.waitForText(reported), reported);
    EXPECT_GT(injector->pingsSent(), 1);
    EXPECT_EQ(injector->pingsAnswered(), injector->pingsSent());
}

INSTANTIATE_TEST_SUITE_P(Toolkits, KeymapPingDesktopTest,
    ::testing::Values(PingTarget { "QtTextEdit", QStringLiteral(VELLAMOR_QT_TEXT_TARGET) },
        PingTarget { "GtkTextView", QStringLiteral(VELLAMOR_GTK_TEXT_TARGET) }),
    [](const ::testing::TestParamInfo<PingTarget>& info) { return std::string(info.param.widget); });

// A layout switch loads a whole keymap (setxkbmap does what desktops do),
// which takes back the key codes this process mapped.
using KeymapReloadDesktopTest = DesktopTest;

bool loadLayout()
{
    return outputOf(QStringLiteral("setxkbmap"), { QStringLiteral("us") }).has_value();
}

TEST_F(KeymapReloadDesktopTest, ChineseAfterALayoutReloadArrivesWhole)
{
    const QString first = QStringLiteral("今天我们讨论发布计划，");
    // The first text's characters, which its key codes held, and others.
    const QString second = QStringLiteral("我们今天讨论的发布计划已经完成。");
    TextTarget target(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), { QStringLiteral("QtTextEdit") });
    ASSERT_TRUE(target.isReady());
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr);
    EXPECT_NO_THROW(runBlocking(keyboard.insert(first), hangCeiling));
    EXPECT_EQ(target.waitForText(first), first);
    ASSERT_TRUE(loadLayout());
    EXPECT_NO_THROW(runBlocking(keyboard.insert(second), hangCeiling));
    EXPECT_EQ(target.waitForText(first + second), first + second);
}

// A layout loaded mid-text takes back the key codes the typing is on: the
// keys after it carry nothing, so the typing says so, or the text arrives
// whole. The load comes at the 100th of the typing's pauses, in a batch.
TEST_F(KeymapReloadDesktopTest, ALayoutReloadMidTextIsToldOrTheTextArrivesWhole)
{
    QString text;
    for (int i = 0; text.size() < 300; ++i)
        text += QChar(0x4e00 + i * 7 % 400);
    TextTarget target(QStringLiteral(VELLAMOR_QT_TEXT_TARGET), { QStringLiteral("QtTextEdit") });
    ASSERT_TRUE(target.isReady());
    int pauses = 0;
    const InsertionSleep pause = eventLoopSleep();
    KeystrokeInserter keyboard(std::make_shared<platform::XTestKeyInjector>(), nullptr,
        [&](std::chrono::milliseconds wait) {
            if (++pauses == 100) {
                EXPECT_TRUE(loadLayout());
            }
            return pause(wait);
        });
    std::optional<KeystrokeInserterError> error;
    try {
        runBlocking(keyboard.insert(text), hangCeiling);
    } catch (const KeystrokeInserterError& e) {
        error = e;
    }
    if (error) {
        EXPECT_EQ(error->kind(), KeystrokeInserterError::Kind::buildFailed);
        EXPECT_GT(error->charactersPosted(), 0);
    } else {
        EXPECT_EQ(target.waitForText(text), text);
    }
}

// Which of its mappings the injector still holds as its own after another
// client's change: its own changes and other key codes' leave them, a load
// takes them all, also where the same characters come back by another hand.
TEST_F(KeymapReloadDesktopTest, OwnMappingsAreThoseNoOtherClientTookBack)
{
    using Injector = platform::XTestKeyInjector;
    struct Case {
        const char* name;
        std::function<void(Injector& mine, Injector& other, int a, int b)> change;
        // Of a (中) and b (文).
        bool aHeld;
        bool bHeld;
    };
    const Case cases[] = {
        { "ownRemapOfB",
            [](auto& mine, auto&, int, int b) {
                mine.mapKeyCodes({ { b, U'文', U'字' } });
            },
            true, true },
        { "anotherClientRemapsA",
            [](auto&, auto& other, int a, int) {
                other.mapKeyCodes({ { a, U'字' } });
            },
            false, true },
        { "anotherClientRemapsAnotherKey",
            [](auto&, auto& other, int, int) {
                other.mapKeyCodes({ { other.spareKeyCodes(1).at(0), U'字' } });
            },
            true, true },
        { "layoutLoaded", [](auto&, auto&, int, int) { ASSERT_TRUE(loadLayout()); }, false, false },
        { "layoutLoadedThenTheSameCharactersByAnotherClient",
            [](auto&, auto& other, int a, int b) {
                ASSERT_TRUE(loadLayout());
                other.mapKeyCodes({ { a, U'中' }, { b, U'文' } });
            },
            false, false },
        { "ownMappingAfterALoad",
            [](auto& mine, auto&, int a, int) {
                ASSERT_TRUE(loadLayout());
                mine.mapKeyCodes({ { a, U'中' } });
            },
            true, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::XTestKeyInjector mine;
        platform::XTestKeyInjector other;
        const auto spare = mine.spareKeyCodes(2);
        ASSERT_EQ(spare.size(), 2u);
        const int a = spare[0];
        const int b = spare[1];
        ASSERT_TRUE(mine.mapKeyCodes({ { a, U'中' }, { b, U'文' } }));
        c.change(mine, other, a, b);
        const auto held = mine.ownMappings();
        const auto holds = [&held](int keyCode) {
            return std::any_of(
                held.begin(), held.end(), [keyCode](const KeyMapping& m) { return m.keyCode == keyCode; });
        };
        EXPECT_EQ(holds(a), c.aHeld);
        EXPECT_EQ(holds(b), c.bHeld);
        ASSERT_TRUE(loadLayout());
    }
}

} // namespace
} // namespace vellamor::test
