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

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

class MenuStatusViewModelTest : public ::testing::Test {
protected:
    // Subscriptions deliver on later turns of the loop.
    static void settle()
    {
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
    }

    QTemporaryDir folder_;
    OverlayViewModel overlay_;
    std::shared_ptr<SettingsStore> settings_ = std::make_shared<SettingsStore>(
        std::make_shared<UserDefaults>(folder_.filePath(u"defaults.ini"_s)), SettingsStore::standardKey());
    MenuStatusViewModel status_{overlay_, settings_, std::make_shared<AuthSessionObserver>(), 20ms};
};

TEST_F(MenuStatusViewModelTest, RowsFollowTheSessionTheWarningAndThePreferences)
{
    EXPECT_EQ(status_.status.value(), (MenuBarStatus{u"待机"_s, u"—"_s, std::nullopt}));
    status_.bind();
    EXPECT_EQ(status_.status.value(), (MenuBarStatus{u"待机"_s, u"插入润色后"_s, u"未登录"_s}));

    struct Case {
        const char* name;
        DictationState state;
        qint64 elapsedMillis;
        QString warning;
        QString connection;
    };
    const QString warning = u"即将超时，1 分钟后自动结束"_s;
    const std::array cases{
        Case{"recording", DictationState::recording(), 65'000, {}, u"录音中 1:05"_s},
        Case{"recording, clock not started", DictationState::recording(), -300, {}, u"录音中 0:00"_s},
        Case{"past the soft limit", DictationState::recording(), 301'000, warning, u"录音中 5:01 · 即将超时"_s},
        Case{"blank warning", DictationState::transcribing(), 0, u" \n "_s, u"转写中"_s},
        Case{"polishing", DictationState::polishing(), 0, {}, u"润色中"_s},
        Case{"inserting", DictationState::inserting(), 0, {}, u"写入中"_s},
        Case{"done", DictationState::done(), 0, {}, u"完成"_s},
        Case{"cancelled", DictationState::cancelled(), 0, {}, u"已取消"_s},
        Case{"failed", DictationState::failed(u" 网络连接失败\n"_s), 0, {}, u"出错 · 网络连接失败"_s},
        Case{"failed without a reason", DictationState::failed(u"  \n"_s), 0, {}, u"出错"_s},
        Case{"idle", DictationState::idle(), 0, {}, u"待机"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        overlay_.elapsedMillis = c.elapsedMillis;
        overlay_.warning = c.warning;
        overlay_.state = c.state;
        settle();
        EXPECT_EQ(status_.status.value().connection, c.connection);
    }

    Preferences preferences = settings_->current();
    preferences.enableLLMPolish = false;
    settings_->update(preferences);
    status_.refresh();
    EXPECT_EQ(status_.status.value().outputMode, u"仅插入原文"_s);
}

TEST_F(MenuStatusViewModelTest, ClockRunsExactlyWhileRecording)
{
    status_.bind();
    overlay_.elapsedMillis = 65'000;
    overlay_.state = DictationState::recording();
    settle();
    EXPECT_TRUE(status_.isTicking());
    overlay_.elapsedMillis = 66'000;
    EXPECT_TRUE(waitUntil([&] { return status_.status.value().connection == u"录音中 1:06"_s; }));

    overlay_.state = DictationState::transcribing();
    settle();
    EXPECT_FALSE(status_.isTicking());
    overlay_.state = DictationState::recording();
    settle();
    status_.unbind();
    EXPECT_FALSE(status_.isTicking());
}

} // namespace
} // namespace test
} // namespace vellamor
