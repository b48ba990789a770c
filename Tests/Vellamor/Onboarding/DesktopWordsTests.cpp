#include "OnboardingFixture.h"
#include "RecordingUnauthorizedHandler.h"
#include "ScriptedHTTPSession.h"
#include "WidgetRendering.h"

#include "DataSync/DataSyncAPI.h"
#include "HistoryWindows/DictionaryView.h"
#include "Models/AuthAPIError.h"
#include "Models/NetworkError.h"
#include "Onboarding/OnboardingFirstRunPage.h"
#include "Onboarding/OnboardingOverviewPage.h"
#include "Onboarding/OnboardingPermissionStepPage.h"
#include "Onboarding/OnboardingSuccessPage.h"
#include "Onboarding/OnboardingWelcomePage.h"
#include "SettingsWindow/RecordingPage.h"

#include <QRegularExpression>

namespace vellamor::test
{
namespace
{

using DesktopWordsTest = OnboardingTest;

// Every text that names a part of this desktop, the key held to dictate or
// a failure of the network or the keyring, in the words of this desktop and
// of the user.
TEST_F(DesktopWordsTest, EveryPlaceSpeaksTheWordsOfThisDesktop)
{
    const QString held = QStringLiteral("右 Ctrl");
    const QString combination = QStringLiteral("Ctrl+Alt+A");
    const auto vm = makeViewModel();
    Published<bool> tried { false };
    const auto textsOf = [](QWidget&& page) { return shownTexts(page, standardText); };
    const auto offlinePill = [this] {
        auto session = std::make_shared<ScriptedHTTPSession>();
        session->fail(NetworkError(NetworkError::Kind::cannotConnect, QStringLiteral("Connection refused")));
        DataSyncAPI api(
            QUrl(QStringLiteral("https://api.example.test")), session,
            []() -> QCoro::Task<std::optional<QString>> { co_return QStringLiteral("tok"); },
            std::make_shared<RecordingUnauthorizedHandler>(), folder.path(),
            VellamorLog(QStringLiteral("t"), QStringLiteral("data-sync"), nullptr, nullptr));
        runBlocking(api.listDictionary());
        return QStringList { DictionaryView::pillFor(api.currentConnection()).text };
    };
    const struct {
        const char* place;
        QStringList shown;
        QString expected;
    } places[] = {
        { "guide, welcome", textsOf(OnboardingWelcomePage(held)),
            QStringLiteral("按下右 Ctrl 就开始录，松开就出文字") },
        { "guide, welcome, combination", textsOf(OnboardingWelcomePage(combination)),
            QStringLiteral("按下 Ctrl+Alt+A 就开始录，松开就出文字") },
        { "guide, overview", textsOf(OnboardingOverviewPage(*vm, held)),
            QStringLiteral(
                "Vellamor 不上传你的声音到第三方服务，权限只用于完成「按右 Ctrl 说话 → 文字落在光标位置」这一件事。") },
        { "guide, overview card", textsOf(OnboardingOverviewPage(*vm, held)),
            QStringLiteral("在任何 App 里按下右 Ctrl 都能立刻开始录") },
        { "guide, hotkey step", textsOf(OnboardingPermissionStepPage(VellamorPermission::inputMonitoring, *vm, held)),
            QStringLiteral("不用切回 Vellamor，按右 Ctrl 就能开始说，松开就停") },
        { "guide, hotkey step, not granted",
            textsOf(OnboardingPermissionStepPage(VellamorPermission::inputMonitoring, *vm, held)),
            QStringLiteral("只能点托盘图标手动开始录音，按右 Ctrl 不会有反应") },
        { "guide, hotkey step, combination",
            textsOf(OnboardingPermissionStepPage(VellamorPermission::inputMonitoring, *vm, combination)),
            QStringLiteral("只能点托盘图标手动开始录音，按 Ctrl+Alt+A 不会有反应") },
        { "guide, first dictation", textsOf(OnboardingFirstRunPage(tried, held)),
            QStringLiteral("按住右 Ctrl 说一句“你好，这是我的第一条语音输入”，松手") },
        { "guide, first dictation waiting", textsOf(OnboardingFirstRunPage(tried, held)),
            QStringLiteral("正在等你按右 Ctrl 说一句话") },
        { "guide, last step", textsOf(OnboardingSuccessPage(held)),
            QStringLiteral("Vellamor 已经在托盘待命。日常使用记住这几件事就够了：") },
        { "guide, last step hotkey", textsOf(OnboardingSuccessPage(held)),
            QStringLiteral("按住右 Ctrl = 开始录音，松开 = 停止") },
        { "guide, last step settings", textsOf(OnboardingSuccessPage(held)),
            QStringLiteral("托盘 Vellamor 图标 → 打开设置") },
        { "guide, last step diagnostics", textsOf(OnboardingSuccessPage(held)),
            QStringLiteral("托盘菜单 → 诊断与日志，能一键复制信息发给我们") },
        { "settings, hotkey row", { RecordingPage::hotkeySubtitle() },
            QStringLiteral("点击「录制」按下新组合键，单按右 Ctrl 也可作为热键") },
        { "sign-out, keyring", { AuthAPIError::keychainCleanupFailed(-25293).errorDescription() },
            QStringLiteral("退出成功，但本地登录凭据清理失败（密钥环状态 -25293），请检查密钥环访问权限") },
        { "sign-in, keyring", { AuthAPIError::keychainWriteFailed(-34018).errorDescription() },
            QStringLiteral("登录失败：无法安全存储登录凭据（密钥环状态 -34018），请检查应用权限或联系开发者") },
        { "dictionary, offline", offlinePill(), QStringLiteral("本地暂存 · 无法连接服务器，请检查网络后重试") },
    };
    const QRegularExpression foreign(
        QStringLiteral("菜单栏|Keychain|Finder|⌘|Command|Connection refused|\\p{Han} 右 "));
    for (const auto& [place, shown, expected] : places) {
        EXPECT_TRUE(shown.contains(expected)) << place << ": " << shown.join(QStringLiteral(" | ")).toStdString();
        for (const QString& text : shown)
            EXPECT_FALSE(text.contains(foreign)) << place << ": " << text.toStdString();
    }
}

} // namespace
} // namespace vellamor::test
