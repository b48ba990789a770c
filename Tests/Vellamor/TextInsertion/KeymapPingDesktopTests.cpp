#include "DesktopTest.h"
#include "PingCountingKeyInjector.h"
#include "QtPrinters.h"
#include "TextTarget.h"

#include "Platform/KeyInjection/XTestKeyInjector.h"
#include "Support/Async/RunBlocking.h"
#include "TextInsertion/Inserters/KeystrokeInserter.h"

namespace vellamor::test {
namespace {

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

} // namespace
} // namespace vellamor::test
