#include "EngineTestPrinters.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include "Auth/AuthSessionObserver.h"
#include "Menu/MenuStatusViewModel.h"
#include "Overlay/OverlayViewModel.h"
#include "Settings/SettingsStore.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gmock/gmock.h>

#include <array>
#include <memory>

namespace vellamor {

inline void PrintTo(const MenuBarStatus& status, std::ostream* os)
{
    *os << "{" << status.connection.toStdString() << " | " << status.outputMode.toStdString() << " | "
        << status.account.value_or(QStringLiteral("<none>")).toStdString() << "}";
}

namespace test {
namespace {

using namespace std::chrono_literals;

class MenuStatusViewModelTest : public ::testing::Test {
protected:
    QTemporaryDir folder_;
    OverlayViewModel overlay_;
    std::shared_ptr<SettingsStore> settings_ = std::make_shared<SettingsStore>(
        std::make_shared<UserDefaults>(folder_.filePath(QStringLiteral("defaults.ini"))), SettingsStore::standardKey());
    MenuStatusViewModel status_{overlay_, settings_, std::make_shared<AuthSessionObserver>(), 20ms};
};

TEST_F(MenuStatusViewModelTest, RowsFollowTheSessionTheWarningAndThePreferences)
{
    EXPECT_EQ(status_.status.value(), (MenuBarStatus { QStringLiteral("待机"), QStringLiteral("—"), std::nullopt }));
    status_.bind();
    EXPECT_EQ(status_.status.value(),
        (MenuBarStatus { QStringLiteral("待机"), QStringLiteral("插入润色后"), QStringLiteral("未登录") }));

    struct Case {
        const char* name;
        DictationState state;
        qint64 elapsedMillis;
        QString warning;
        QString connection;
    };
    const QString warning = QStringLiteral("即将超时，1 分钟后自动结束");
    const std::array cases {
        Case { "recording", DictationState::recording(), 65'000, {}, QStringLiteral("录音中 1:05") },
        Case { "recording, clock not started", DictationState::recording(), -300, {}, QStringLiteral("录音中 0:00") },
        Case { "past the soft limit", DictationState::recording(), 301'000, warning,
            QStringLiteral("录音中 5:01 · 即将超时") },
        Case { "blank warning", DictationState::transcribing(), 0, QStringLiteral(" \n "), QStringLiteral("转写中") },
        Case { "polishing", DictationState::polishing(), 0, {}, QStringLiteral("润色中") },
        Case { "inserting", DictationState::inserting(), 0, {}, QStringLiteral("写入中") },
        Case { "done", DictationState::done(), 0, {}, QStringLiteral("完成") },
        Case { "cancelled", DictationState::cancelled(), 0, {}, QStringLiteral("已取消") },
        Case { "failed", DictationState::failed(QStringLiteral(" 网络连接失败\n")), 0, {},
            QStringLiteral("出错 · 网络连接失败") },
        Case {
            "failed without a reason", DictationState::failed(QStringLiteral("  \n")), 0, {}, QStringLiteral("出错") },
        Case { "idle", DictationState::idle(), 0, {}, QStringLiteral("待机") },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        overlay_.elapsedMillis = c.elapsedMillis;
        overlay_.warning = c.warning;
        overlay_.state = c.state;
        EXPECT_EVENTUALLY_EQ(status_.status.value().connection, c.connection);
    }

    Preferences preferences = settings_->current();
    preferences.enableLLMPolish = false;
    settings_->update(preferences);
    status_.refresh();
    EXPECT_EQ(status_.status.value().outputMode, QStringLiteral("仅插入原文"));
}

TEST_F(MenuStatusViewModelTest, ClockRunsExactlyWhileRecording)
{
    status_.bind();
    overlay_.elapsedMillis = 65'000;
    overlay_.state = DictationState::recording();
    EXPECT_TRUE(waitUntil([&] { return status_.isTicking(); }));
    overlay_.elapsedMillis = 66'000;
    EXPECT_TRUE(waitUntil([&] { return status_.status.value().connection == QStringLiteral("录音中 1:06"); }));

    overlay_.state = DictationState::transcribing();
    EXPECT_TRUE(waitUntil([&] { return !status_.isTicking(); }));
    overlay_.state = DictationState::recording();
    ASSERT_TRUE(waitUntil([&] { return status_.isTicking(); }));
    status_.unbind();
    EXPECT_FALSE(status_.isTicking());
}

} // namespace
} // namespace test
} // namespace vellamor
