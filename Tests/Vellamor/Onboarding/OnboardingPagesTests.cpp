#include "OnboardingFixture.h"
#include "WidgetRendering.h"
#include "../Diagnostics/RenderForReview.h"

#include "AccountWindows/AuthSheet.h"
#include "Onboarding/OnboardingAccountPage.h"
#include "Onboarding/OnboardingFirstRunPage.h"
#include "Onboarding/OnboardingPermissionStepPage.h"
#include "Onboarding/OnboardingStatusTag.h"
#include "Onboarding/OnboardingWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

namespace vellamor::test {
namespace {

using Step = OnboardingStep;
using P = VellamorPermission;
using S = VellamorPermissionStatus;

class OnboardingPagesTest : public OnboardingTest {
protected:
    std::unique_ptr<OnboardingWindow> makeWindow(OnboardingViewModel& vm)
    {
        OnboardingWindow::Callbacks callbacks;
        callbacks.signIn = [this](QWidget* over) { sheets.present(over); };
        auto window = std::make_unique<OnboardingWindow>(vm, QStringLiteral("右 Ctrl"), std::move(callbacks));
        window->show();
        afterQueuedCalls();
        return window;
    }
};

// Every page, drawn light and dark: its texts name the app's hotkey, never
// Fn, and the paste chord is Ctrl+V.
TEST_F(OnboardingPagesTest, EachPageShowsItsTextsWithTheHotkeyTheAppUses)
{
    const struct {
        Step step;
        PermissionStatuses statuses;
        bool signedIn;
        QStringList shown;
    } cases[] = {
        { Step::welcome, {}, false,
            { QStringLiteral("用说的，比打字快"), QStringLiteral("按下右 Ctrl 就开始录，松开就出文字"),
                QStringLiteral("稍后再说") } },
        { Step::overview, { { P::microphone, S::granted }, { P::inputMonitoring, S::denied } }, false,
            { QStringLiteral("已开启"), QStringLiteral("待开启"), QStringLiteral("被拒绝"),
                QStringLiteral("在任何 App 里按下右 Ctrl 都能立刻开始录"), QStringLiteral("开始逐项授权") } },
        { Step::microphone, { { P::microphone, S::denied } }, false,
            { QStringLiteral("去系统设置打开"), QStringLiteral("被拒绝") } },
        { Step::accessibility, {}, false,
            { QStringLiteral("只能把文字复制到剪贴板，要你自己再 Ctrl+V 粘进去"), QStringLiteral("去开启"),
                QStringLiteral("开启后，已经打开的应用需要重新启动，Vellamor 才能把文字写进去。") } },
        { Step::inputMonitoring, { { P::inputMonitoring, S::granted } }, false,
            { QStringLiteral("不用切回 Vellamor，按右 Ctrl 就能开始说，松开就停"),
                QStringLiteral("已开启，下一项") } },
        { Step::account, {}, false,
            { QStringLiteral("登录或注册 Vellamor"), QStringLiteral("语音识别需要登录后使用。输入邮箱即可登录或注册。"),
                QStringLiteral("登录 / 注册") } },
        { Step::account, {}, true,
            { QStringLiteral("账户已准备好"), QStringLiteral("已登录为 u7@x.io"),
                QStringLiteral("已登录，开始试录") } },
        { Step::firstRun, {}, true,
            { QStringLiteral("按住右 Ctrl 说一句“你好，这是我的第一条语音输入”，松手"),
                QStringLiteral("正在等你按右 Ctrl 说一句话") } },
        { Step::success, {}, true,
            { QStringLiteral("按住右 Ctrl = 开始录音，松开 = 停止"), QStringLiteral("开始使用") } },
    };
    for (const auto& c : cases) {
        const QString name = QStringLiteral("onboarding-") + debugName(c.step)
            + (c.signedIn ? QStringLiteral("-signed-in") : QString());
        SCOPED_TRACE(name.toStdString());
        if (c.signedIn && !session->publisher()->state().isAuthenticated())
            signIn();
        const auto vm = makeViewModelShowing(c.statuses);
        vm->step = c.step;
        const auto window = makeWindow(*vm);
        renderForReview(*window, name);
        const QStringList texts = shownTexts(*window, standardText);
        for (const QString& text : c.shown)
            EXPECT_TRUE(texts.contains(text))
                << text.toStdString() << " not in " << texts.join(QStringLiteral(" | ")).toStdString();
        EXPECT_TRUE(texts.filter(QStringLiteral("Fn")).isEmpty())
            << texts.filter(QStringLiteral("Fn")).join(QStringLiteral(" | ")).toStdString();
        EXPECT_EQ(window->leftButton().isVisible(), c.step != Step::success);
    }
}

TEST_F(OnboardingPagesTest, APermissionPageFollowsItsStatusLiveAndReturnGoesOnOnceGranted)
{
    const auto vm = makeViewModelShowing({});
    vm->step = Step::accessibility;
    const auto window = makeWindow(*vm);
    auto* page = qobject_cast<OnboardingPermissionStepPage*>(window->page());
    ASSERT_NE(page, nullptr);
    const struct {
        std::optional<S> status;
        QString action;
        bool actionEnabled;
        QString tag;
    } cases[] = {
        { std::nullopt, QStringLiteral("去开启"), true, QStringLiteral("待开启") },
        { S::denied, QStringLiteral("去系统设置打开"), true, QStringLiteral("被拒绝") },
        { S::granted, QStringLiteral("已开启"), false, QStringLiteral("已开启") },
    };
    for (const auto& c : cases) {
        vm->statuses = c.status ? PermissionStatuses{{P::accessibility, *c.status}} : PermissionStatuses{};
        afterQueuedCalls();
        EXPECT_EQ(page->actionButton().text(), c.action);
        EXPECT_EQ(page->actionButton().isEnabled(), c.actionEnabled);
        const auto tags = page->findChildren<OnboardingStatusTag*>();
        ASSERT_EQ(tags.size(), 1);
        EXPECT_EQ(tags.first()->QLabel::text(), c.tag);
        EXPECT_EQ(window->primaryButton().isEnabled(), c.status == S::granted);
    }
    EXPECT_EQ(vm->step.value(), Step::accessibility) << "a grant alone never moves on";
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_EQ(vm->step.value(), Step::inputMonitoring);
}

TEST_F(OnboardingPagesTest, TheAccountPageOpensTheOneSheetOverTheGuideAndFollowsTheSignIn)
{
    const auto vm = makeViewModel();
    vm->step = Step::account;
    const auto window = makeWindow(*vm);
    auto* page = qobject_cast<OnboardingAccountPage*>(window->page());
    ASSERT_NE(page, nullptr);
    page->signInButton().click();
    ASSERT_NE(sheets.openSheet(), nullptr);
    EXPECT_EQ(sheets.openSheet()->parentWidget(), window.get());
    signIn();
    EXPECT_TRUE(waitUntil([&] { return !page->signInButton().isVisibleTo(page); }));
    EXPECT_TRUE(waitUntil([&] { return window->primaryButton().isEnabled(); }));
    EXPECT_EQ(vm->step.value(), Step::account) << "signing in does not leave the step";
}

TEST_F(OnboardingPagesTest, TheFirstDictationPageTurnsGreenWhenADictationCompletes)
{
    for (const bool triedBefore : {false, true}) {
        SCOPED_TRACE(triedBefore);
        const auto vm = makeViewModel();
        vm->hasTriedRecording = triedBefore;
        vm->step = Step::firstRun;
        const auto window = makeWindow(*vm);
        auto* page = qobject_cast<OnboardingFirstRunPage*>(window->page());
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->phase(), triedBefore ? OnboardingFirstRunPage::Phase::detected
                                             : OnboardingFirstRunPage::Phase::waiting);
        vm->hasTriedRecording = true;
        afterQueuedCalls();
        EXPECT_EQ(page->phase(), OnboardingFirstRunPage::Phase::detected);
        EXPECT_TRUE(shownTexts(*window, standardText).contains(QStringLiteral("听到了，正在带你进入下一步")));
        if (!triedBefore)
            renderForReview(*window, QStringLiteral("onboarding-firstRun-detected"));
    }
}

} // namespace
} // namespace vellamor::test
