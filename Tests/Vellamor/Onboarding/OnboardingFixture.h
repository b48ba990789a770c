#pragma once

#include "FakeAccessibilityStatus.h"
#include "FakeAuthAPI.h"
#include "FakeCommandLauncher.h"
#include "FakeInputMonitoringProbe.h"
#include "FakeSoundServer.h"
#include "InMemorySecureItemStore.h"
#include "WaitUntil.h"

#include "AccountWindows/AuthSheetPresenter.h"
#include "Auth/AuthSession.h"
#include "Auth/KeychainStore.h"
#include "Onboarding/OnboardingViewModel.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace vellamor::test {

// The guide over fakes of the permissions' facilities (a microphone, X11,
// accessibility off, no settings program) and a real session whose client
// is scripted.
class OnboardingTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        sound->releaseSnapshots();
        afterQueuedCalls();
    }

    void signIn()
    {
        const AuthTokens tokens{QStringLiteral("at"), QStringLiteral("rt"), Date::fromUnixSeconds(4'000'000'000)};
        const AuthMe me{7, QStringLiteral("u7@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
                        std::nullopt};
        api->succeed(FakeAuthAPI::Op::login, AuthAPIProtocol::SignIn{tokens, me});
        runBlocking(session->loginWithPassword(me.email, QStringLiteral("password")));
    }

    std::unique_ptr<OnboardingViewModel> makeViewModel()
    {
        return std::make_unique<OnboardingViewModel>(checker, session->publisher());
    }

    // Once its first read of the permissions has ended: statuses a test sets
    // afterwards are not overwritten by it.
    std::unique_ptr<OnboardingViewModel> makeReadViewModel()
    {
        auto vm = makeViewModel();
        EXPECT_TRUE(waitUntil([&] { return !vm->statuses.value().isEmpty(); }));
        return vm;
    }

    // Shows `statuses` until the test ends: a window re-reads the permissions
    // every second, and every read after the first now waits for TearDown
    // instead of replacing what the test set.
    std::unique_ptr<OnboardingViewModel> makeViewModelShowing(const PermissionStatuses& statuses)
    {
        sound->releaseSnapshots();
        auto vm = makeReadViewModel();
        sound->holdSnapshots();
        vm->statuses = statuses;
        return vm;
    }

    static PermissionStatuses grantedOnly(std::initializer_list<VellamorPermission> granted)
    {
        PermissionStatuses statuses;
        for (VellamorPermission permission : granted)
            statuses.insert(permission, VellamorPermissionStatus::granted);
        return statuses;
    }

    // Runs `action` and waits until `vm` has read the statuses again after it.
    static bool readAgainAfter(OnboardingViewModel& vm, const std::function<void()>& action)
    {
        int reads = -1; // subscribing delivers the current value
        const Subscription watch = vm.statuses.subscribe([&reads](const PermissionStatuses&) { ++reads; });
        action();
        return waitUntil([&reads] { return reads > 0; });
    }

    std::shared_ptr<FakeSoundServer> sound = [] {
        auto server = std::make_shared<FakeSoundServer>();
        server->answer = FakeSoundServer::oneMicrophone();
        return server;
    }();
    std::shared_ptr<FakeAccessibilityStatus> accessibility = std::make_shared<FakeAccessibilityStatus>(false);
    std::shared_ptr<FakeInputMonitoringProbe> keys
        = std::make_shared<FakeInputMonitoringProbe>(platform::InputMonitoringSupport::available);
    std::shared_ptr<FakeCommandLauncher> launcher = std::make_shared<FakeCommandLauncher>();
    std::shared_ptr<PermissionChecker> checker = std::make_shared<PermissionChecker>(
        PermissionChecker::Facilities{keys, sound, accessibility, launcher},
        VellamorLog(QStringLiteral("t"), QStringLiteral("permission"), nullptr, nullptr));

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(
        api,
        std::make_shared<KeychainStore>(std::make_shared<InMemorySecureItemStore>(), QStringLiteral("com.vellamor.app.auth"),
                                        QStringLiteral("session")),
        VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now, defaults);
    AuthSheetPresenter sheets{api, session};
};

} // namespace vellamor::test
