#pragma once

#include "FakeAuthAPI.h"
#include "FakePasteboard.h"
#include "InMemorySecureItemStore.h"
#include "ManualSteadyClock.h"
#include "WaitUntil.h"

#include "Auth/AuthSession.h"
#include "Auth/KeychainStore.h"
#include "Settings/UserDefaults.h"
#include "HistoryWindows/HistoryViewModel.h"
#include "Support/Async/Channel.h"
#include "Support/Async/RunBlocking.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace vellamor::test {

// One insertion layer: records what it is given, fails when told to, and
// waits for a gate when one is set.
class ScriptedLayer final : public AnyInserter {
public:
    QCoro::Task<void> insert(QString text) override
    {
        texts.append(text);
        if (gate)
            co_await gate->next();
        if (fails)
            throw std::runtime_error("refused by test");
    }

    QStringList texts;
    bool fails = false;
    std::optional<Channel<bool>> gate;
};

class ScriptedProbe final : public AccessibilityProbing {
public:
    QCoro::Task<FocusTarget> focusTarget() override { co_return hasTarget ? FocusTarget::element : FocusTarget::none; }
    QCoro::Task<std::optional<QString>> focusedText() override { co_return std::nullopt; }
    bool hasTarget = true;
};

// A history store on disk, its broadcaster, an authentication session over
// a fake backend, and the real layered inserter over scripted layers.
class HistoryPanelTest : public ::testing::Test {
protected:
    HistoryPanelTest()
    {
        auto keychain = std::make_shared<KeychainStore>(keyring, QStringLiteral("com.vellamor.app.auth"),
                                                        QStringLiteral("session"));
        auth = std::make_shared<AuthSession>(api, keychain,
                                             VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr),
                                             &Date::now, defaults);
    }

    // What the store still answers reaches its callers before they go.
    void TearDown() override
    {
        runBlocking(store->flush());
        afterQueuedCalls();
    }

    // Which layer delivers: 0 accessibility ... 3 none of them.
    void failFirstLayers(int count)
    {
        ax->fails = count > 0;
        keyboard->fails = count > 1;
        clipboard->fails = count > 2;
    }

    void signIn()
    {
        const AuthMe me{7, QStringLiteral("u7@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
                        std::nullopt};
        api->succeed(FakeAuthAPI::Op::login,
                     AuthAPIProtocol::SignIn{AuthTokens{QStringLiteral("at"), QStringLiteral("rt"),
                                                        Date::fromUnixSeconds(4'000'000'000)},
                                             me});
        runBlocking(auth->loginWithPassword(me.email, QStringLiteral("password")));
    }

    HistoryRecord append(const QString& text, std::optional<QString> sourceApp = std::nullopt)
    {
        return runBlocking(store->append(HistoryRecord(QUuid::createUuid(), text, std::nullopt, std::nullopt,
                                                       std::move(sourceApp), Date::now(), std::nullopt, std::nullopt,
                                                       false, std::nullopt)));
    }

    LayeredInserter inserter() const
    {
        return LayeredInserter(ax, keyboard, clipboard, probe, pasteboard);
    }

    HistoryViewModel::Dependencies dependencies(std::shared_ptr<HistorySyncObserver> sync = nullptr)
    {
        return HistoryViewModel::Dependencies{
            .store = store,
            .broadcaster = broadcaster,
            .layered = inserter(),
            .auth = auth->publisher(),
            .isAccessibilityTrusted = [this] { return trusted; },
            .sync = std::move(sync),
            .sleep = timers.sleeper(),
        };
    }

    // A view model once its first load has ended.
    std::unique_ptr<HistoryViewModel> loadedModel(std::shared_ptr<HistorySyncObserver> sync = nullptr)
    {
        auto model = std::make_unique<HistoryViewModel>(dependencies(std::move(sync)));
        EXPECT_TRUE(waitForLoad(*model));
        return model;
    }

    // Until a load of `model` ends (isLoading turns from true to false).
    static bool waitForLoad(HistoryViewModel& model)
    {
        bool ended = false;
        const Subscription watch = model.isLoading.subscribe([&](bool loading) {
            ended = ended || (!loading && model.isLoading.value());
        });
        return waitUntil([&] { return ended; });
    }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<InMemorySecureItemStore> keyring = std::make_shared<InMemorySecureItemStore>();
    std::shared_ptr<AuthSession> auth;
    std::shared_ptr<HistoryChangeBroadcaster> broadcaster = std::make_shared<HistoryChangeBroadcaster>();
    std::shared_ptr<LocalHistoryStore> store = LocalHistoryStore::anonymous(broadcaster, folder.path());
    std::shared_ptr<ScriptedLayer> ax = std::make_shared<ScriptedLayer>();
    std::shared_ptr<ScriptedLayer> keyboard = std::make_shared<ScriptedLayer>();
    std::shared_ptr<ScriptedLayer> clipboard = std::make_shared<ScriptedLayer>();
    std::shared_ptr<ScriptedProbe> probe = std::make_shared<ScriptedProbe>();
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    bool trusted = true;
    ManualSteadyClock timers;
};

} // namespace vellamor::test
