#include "MappedFonts.h"
#include "OnboardingFixture.h"

#include "Onboarding/OnboardingWindowController.h"
#include "Support/Async/Channel.h"

#include <QPushButton>

namespace vellamor::test {
namespace {

using Step = OnboardingStep;
using P = VellamorPermission;

TEST_F(OnboardingTest, NextAndBackPassOverGrantedPermissionsAndTheAccountOnceSignedIn)
{
    enum class Move { next, back };
    const struct {
        const char* name;
        PermissionStatuses statuses;
        bool signedIn;
        Step from;
        Move move;
        Step to;
    } cases[] = {
        {"allReadyGoesStraightToTheFirstDictation", grantedOnly({P::microphone, P::accessibility, P::inputMonitoring}),
         true, Step::overview, Move::next, Step::firstRun},
        {"allGrantedSignedOutStopsAtTheAccount", grantedOnly({P::microphone, P::accessibility, P::inputMonitoring}),
         false, Step::overview, Move::next, Step::account},
        {"nothingGrantedStartsAtTheMicrophone", {}, false, Step::overview, Move::next, Step::microphone},
        {"microphoneGrantedIsPassedOver", grantedOnly({P::microphone}), false, Step::overview, Move::next,
         Step::accessibility},
        {"backFromAccessibilityPassesTheMicrophone", grantedOnly({P::microphone}), false, Step::accessibility,
         Move::back, Step::overview},
        {"deniedIsNotGranted",
         {{P::microphone, VellamorPermissionStatus::denied}}, false, Step::overview, Move::next, Step::microphone},
        {"lastPermissionGoesToTheFirstDictationWhenSignedIn", {}, true, Step::inputMonitoring, Move::next,
         Step::firstRun},
        {"backFromTheFirstDictationWithAllReadyLandsOnTheOverview",
         grantedOnly({P::microphone, P::accessibility, P::inputMonitoring}), true, Step::firstRun, Move::back,
         Step::overview},
        {"backFromTheFirstDictationSignedOutIsTheAccount", {}, false, Step::firstRun, Move::back, Step::account},
        {"backFromTheFirstDictationSignedInIsTheMissingPermission", grantedOnly({P::microphone, P::accessibility}),
         true, Step::firstRun, Move::back, Step::inputMonitoring},
        {"nothingAfterSuccess", {}, false, Step::success, Move::next, Step::success},
        {"nothingBeforeWelcome", {}, false, Step::welcome, Move::back, Step::welcome},
    };
    signIn();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.signedIn != session->publisher()->state().isAuthenticated()) {
            if (c.signedIn)
                signIn();
            else
                runBlocking(session->logout());
        }
        const auto vm = makeReadViewModel();
        vm->statuses = c.statuses;
        vm->step = c.from;
        int changes = 0;
        const Subscription counting = vm->step.subscribe([&](Step) { ++changes; });
        c.move == Move::next ? vm->next() : vm->back();
        EXPECT_EQ(vm->step.value(), c.to);
        // One change even when steps are passed over; none at the ends.
        EXPECT_EQ(changes, c.from == c.to ? 1 : 2);
    }
}

TEST_F(OnboardingTest, TheFooterOffersWhatTheStepAllows)
{
    const auto all = grantedOnly({P::microphone, P::accessibility, P::inputMonitoring});
    const struct {
        Step step;
        PermissionStatuses statuses;
        bool signedIn;
        bool tried;
        bool canGoBack;
        bool canContinue;
        QString title;
    } cases[] = {
        { Step::welcome, {}, false, false, false, true, QStringLiteral("开始设置（约 3 分钟）") },
        { Step::overview, {}, false, false, true, true, QStringLiteral("开始逐项授权") },
        { Step::overview, all, false, false, true, true, QStringLiteral("三项都开好了，继续") },
        { Step::overview, grantedOnly({ P::microphone, P::accessibility }), false, false, true, true,
            QStringLiteral("开始逐项授权") },
        { Step::microphone, {}, false, false, true, false, QStringLiteral("等待你在系统设置里开启…") },
        { Step::accessibility, grantedOnly({ P::accessibility }), false, false, true, true,
            QStringLiteral("已开启，下一项") },
        { Step::inputMonitoring, grantedOnly({ P::accessibility }), false, false, true, false,
            QStringLiteral("等待你在系统设置里开启…") },
        { Step::account, {}, false, false, true, false, QStringLiteral("登录后继续") },
        { Step::account, {}, true, false, true, true, QStringLiteral("已登录，开始试录") },
        { Step::firstRun, {}, true, false, true, false, QStringLiteral("完成") },
        { Step::firstRun, {}, true, true, true, true, QStringLiteral("完成") },
        { Step::success, {}, true, true, false, true, QStringLiteral("开始使用") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(debugName(c.step).toStdString() + (c.signedIn ? " signed in" : ""));
        if (c.signedIn && !session->publisher()->state().isAuthenticated())
            signIn();
        const auto vm = makeReadViewModel();
        vm->statuses = c.statuses;
        vm->hasTriedRecording = c.tried;
        vm->step = c.step;
        EXPECT_EQ(vm->canGoBack(), c.canGoBack);
        EXPECT_EQ(vm->canContinue(), c.canContinue);
        EXPECT_EQ(vm->nextButtonTitle(), c.title);
    }
}

// A sound server whose every answer waits until the test gives it.
class HeldSoundServer final : public platform::SoundServer {
public:
    QCoro::Task<platform::SoundServerSnapshot> snapshot() override
    {
        const Channel<platform::SoundServerSnapshot> answer;
        pending.push_back(answer);
        co_return (co_await answer.next()).value_or(platform::SoundServerSnapshot{});
    }
    QCoro::Task<platform::RecordStreamOpening> openRecordStream(std::optional<QString>, platform::AudioChunkHandler,
                                                                platform::StreamFailureHandler) override
    {
        co_return platform::RecordStreamOpening{nullptr, QStringLiteral("not here")};
    }

    std::vector<Channel<platform::SoundServerSnapshot>> pending;
};

TEST_F(OnboardingTest, ThePollSkipsWhileAReadRunsAndAnOlderAnswerNeverReplacesANewerOne)
{
    auto held = std::make_shared<HeldSoundServer>();
    checker = std::make_shared<PermissionChecker>(PermissionChecker::Facilities { keys, held, accessibility, launcher },
        VellamorLog(QStringLiteral("t"), QStringLiteral("permission"), nullptr, nullptr));
    const auto vm = makeViewModel();
    ASSERT_EQ(held->pending.size(), 1u);
    vm->refreshStatuses();
    EXPECT_EQ(held->pending.size(), 1u) << "a tick while the last read runs is skipped";

    vm->requestPermission(P::inputMonitoring);
    ASSERT_EQ(held->pending.size(), 2u);
    held->pending[1].push(FakeSoundServer::oneMicrophone());
    EXPECT_TRUE(waitUntil([&] { return vm->isGranted(P::microphone); }));
    held->pending[0].push(platform::SoundServerSnapshot{});
    // The older read ends on the next turn; the poll running again below shows it did.
    afterQueuedCalls();
    EXPECT_TRUE(vm->isGranted(P::microphone)) << "the older answer came last and was dropped";

    vm->refreshStatuses();
    EXPECT_EQ(held->pending.size(), 3u) << "the poll runs again once its read has ended";
    held->pending[2].push(platform::SoundServerSnapshot{});
    EXPECT_EVENTUALLY_EQ(vm->statuses.value().value(P::microphone), VellamorPermissionStatus::denied);
}

TEST_F(OnboardingTest, AskingForAPermissionOpensTheSettingsOnlyWhenStillMissingOrSaysWhereToLook)
{
    const QString restart
        = QStringLiteral("已开启辅助功能支持。请重新启动已经打开的应用，Vellamor 才能把文字写入其中。");
    const QString noMicrophone = QStringLiteral("声音服务器上没有可用的麦克风。");
    const struct {
        const char* name;
        P permission;
        std::function<void()> arrange;
        QList<QStringList> launches;
        QString noticeStart;
        bool saysWhere;
        VellamorPermissionStatus status;
    } cases[] = {
        { "microphonePresent", P::microphone, [] {}, {}, QString(), false, VellamorPermissionStatus::granted },
        { "microphoneMissing", P::microphone,
            [&] {
                sound->answer = {};
                sound->answer.reachable = true;
                launcher->installed = { QStringLiteral("gnome-control-center") };
            },
            { { QStringLiteral("gnome-control-center"), QStringLiteral("sound") } }, noMicrophone, false,
            VellamorPermissionStatus::denied },
        { "microphoneMissingWithoutSettings", P::microphone,
            [&] {
                sound->answer = {};
                sound->answer.reachable = true;
            },
            {}, noMicrophone, true, VellamorPermissionStatus::denied },
        { "accessibilitySwitchedOnAtOnce", P::accessibility, [] {}, {}, restart, false,
            VellamorPermissionStatus::granted },
        { "accessibilityRefused", P::accessibility,
            [&] {
                accessibility->refuses = true;
                launcher->installed = { QStringLiteral("systemsettings") };
            },
            { { QStringLiteral("systemsettings"), QStringLiteral("kcm_access") } },
            QStringLiteral("辅助功能支持（AT-SPI）尚未开启"), false, VellamorPermissionStatus::notDetermined },
        { "waylandHasNoSettings", P::inputMonitoring,
            [&] { keys->answer = platform::InputMonitoringSupport::waylandSession; }, {},
            QStringLiteral("当前是 Wayland 会话"), true, VellamorPermissionStatus::denied },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sound->answer = FakeSoundServer::oneMicrophone();
        accessibility->enabled = false;
        accessibility->refuses = false;
        keys->answer = platform::InputMonitoringSupport::available;
        launcher->installed.clear();
        launcher->launches.clear();
        c.arrange();
        const auto vm = makeReadViewModel();
        ASSERT_TRUE(readAgainAfter(*vm, [&] { vm->requestPermission(c.permission); }));
        EXPECT_EQ(launcher->launches, c.launches);
        EXPECT_TRUE(vm->notice.value().startsWith(c.noticeStart)) << vm->notice.value().toStdString();
        EXPECT_EQ(
            vm->notice.value().contains(QStringLiteral("没有")) && vm->notice.value().contains(QStringLiteral("设置")),
            c.saysWhere)
            << vm->notice.value().toStdString();
        EXPECT_EQ(vm->statuses.value().value(c.permission), c.status);
        vm->next();
        EXPECT_TRUE(vm->notice.value().isEmpty()) << "a new step starts without the last step's words";
    }
}

class OnboardingControllerTest : public OnboardingTest {
protected:
    OnboardingWindowController controller { OnboardingWindowController::Dependencies {
        checker, session->publisher(), &sheets, QStringLiteral("右 Ctrl") } };
    int finished = 0;
    int reachedFirstRun = 0;

    void show()
    {
        controller.show([this] { ++finished; }, [this] { ++reachedFirstRun; });
    }
};

TEST_F(OnboardingControllerTest, EveryWayOfClosingFinishesTheGuideOnce)
{
    const struct {
        const char* name;
        std::function<void(OnboardingWindowController&)> close;
    } cases[] = {
        {"laterOnTheWelcome", [](OnboardingWindowController& c) { c.window()->leftButton().click(); }},
        {"closeBox", [](OnboardingWindowController& c) { c.window()->close(); }},
        {"startOnTheSuccess",
         [](OnboardingWindowController& c) {
             c.viewModel()->step = Step::success;
             afterQueuedCalls();
             c.window()->primaryButton().click();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        finished = 0;
        show();
        ASSERT_NE(controller.window(), nullptr);
        c.close(controller);
        ASSERT_TRUE(waitUntil([&] { return finished > 0 && controller.window() == nullptr; }));
        EXPECT_EQ(finished, 1);
        EXPECT_EQ(controller.window(), nullptr);
        EXPECT_EQ(controller.viewModel(), nullptr);
        controller.close();
        controller.markRecordingSuccess();
        EXPECT_EQ(finished, 1) << "a later close calls nothing";
    }
}

// The guide is deleted once closed: the fonts it drew with go back.
TEST_F(OnboardingControllerTest, ClosingTheGuideGivesBackTheFontsItDrewWith)
{
    const QSet<QString> before = mappedFontFiles();
    show();
    controller.window()->grab();
    const QSet<QString> drawnWith = mappedFontFiles() - before;
    ASSERT_FALSE(drawnWith.isEmpty());
    controller.window()->close();
    EXPECT_TRUE(waitUntil([&] { return !mappedFontFiles().intersects(drawnWith); }))
        << drawnWith.values().join(u' ').toStdString();
}

TEST_F(OnboardingControllerTest, ASecondShowKeepsTheWindowAndTakesTheNewCallbacks)
{
    show();
    OnboardingWindow* first = controller.window();
    controller.viewModel()->step = Step::overview;
    int second = 0;
    controller.show([&] { ++second; }, nullptr);
    EXPECT_EQ(controller.window(), first);
    EXPECT_EQ(controller.viewModel()->step.value(), Step::overview);
    controller.close();
    EXPECT_EQ(finished, 0);
    EXPECT_EQ(second, 1);

    show();
    EXPECT_EQ(controller.viewModel()->step.value(), Step::welcome) << "a show after a close starts afresh";
}

TEST_F(OnboardingControllerTest, EachArrivalAtTheFirstDictationIsToldAndADictationEndsTheStep)
{
    signIn();
    show();
    OnboardingViewModel& vm = *controller.viewModel();
    vm.statuses = grantedOnly({P::microphone, P::accessibility, P::inputMonitoring});
    vm.step = Step::account;
    controller.markRecordingSuccess();
    EXPECT_TRUE(vm.hasTriedRecording.value());
    EXPECT_EQ(vm.step.value(), Step::account) << "only the first-dictation step moves on";
    vm.next();
    ASSERT_TRUE(waitUntil([&] { return reachedFirstRun > 0; }));
    EXPECT_EQ(reachedFirstRun, 1);
    EXPECT_TRUE(waitUntil([&] { return controller.window()->primaryButton().isEnabled(); }))
        << "the earlier dictation counts";
    vm.back();
    vm.next();
    ASSERT_TRUE(waitUntil([&] { return reachedFirstRun > 1; }));
    EXPECT_EQ(reachedFirstRun, 2);
    controller.markRecordingSuccess();
    EXPECT_EQ(vm.step.value(), Step::success);
}

} // namespace
} // namespace vellamor::test
