#pragma once

#include "FakeAccessibilityBus.h"
#include "FakeAccessibilityStatus.h"
#include "FakeAuthAPI.h"
#include "FakeCommandLauncher.h"
#include "FakeDataSyncAPI.h"
#include "FakeInputMonitoringProbe.h"
#include "FakeKeyInjector.h"
#include "FakeKeySource.h"
#include "FakePasteboard.h"
#include "FakePreferencesAPI.h"
#include "FakeScreenLayout.h"
#include "FakeSoundServer.h"
#include "FakeWorkspace.h"
#include "InMemorySecureItemStore.h"
#include "ManualHotkeyScheduler.h"
#include "ManualSteadyClock.h"
#include "ManualTickerClock.h"
#include "RecordingSystemLog.h"
#include "RecordingWebSocketTransport.h"
#include "ThreadsNamed.h"
#include "WaitUntil.h"

#include "App/AppContainer.h"
#include "Auth/KeychainStore.h"
#include "Platform/ActiveWindow/ActiveWindowReader.h"
#include "Platform/KeySource/KeyCodeMapping.h"
#include "Support/Async/RunBlocking.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace vellamor::test
{

class FakeActiveWindowReader final : public platform::ActiveWindowReader
{
public:
    std::optional<platform::WindowIdentity> activeWindow() override { return window; }
    std::optional<platform::WindowIdentity> window;
};

// The phone commands' session as the container drives it: start and stop
// are logged, a stop waits for `stopGate` while `holdStop`, and the test
// pushes the commands.
class FakeSourceCommandSession final : public SourceCommandSessionProtocol
{
public:
    QCoro::Task<void> start() override
    {
        calls.append(QStringLiteral("start"));
        co_return;
    }
    QCoro::Task<void> stop() override
    {
        calls.append(QStringLiteral("stop"));
        if (holdStop)
            co_await stopGate.next();
    }
    SourceCommandStream commands() override { return stream; }

    QStringList calls;
    bool holdStop = false;
    Channel<bool> stopGate;
    SourceCommandStream stream;
};

// A composition root over fakes of every platform facility, a scripted
// authentication client, a recogniser socket the test answers, fakes of the
// cloud history and the phone commands, hand-moved clocks for the hotkey,
// the overlay and the container's own timers, and a recording of its log.
class AppContainerTest : public ::testing::Test
{
protected:
    AppContainerTest()
    {
        auto keychain = std::make_shared<KeychainStore>(
            keyring, QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session"));
        auth = std::make_shared<AuthSession>(api, keychain,
            VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now, defaults);
        bus->focus(FakeAccessibilityBus::Field {});
    }

    // A store closing on its own thread ends when that thread has answered.
    // Tasks left waiting (the keyring's, the socket's) end over a few turns
    // of the loop that nothing marks; they are only freed, never read.
    void TearDown() override
    {
        container.reset();
        EXPECT_TRUE(waitUntil([] { return threadsNamed(QStringLiteral("vellamor-history")) == 0; }));
        runEventLoopFor(std::chrono::milliseconds(50));
    }

    void build(const QProcessEnvironment& environment = {})
    {
        AppContainerDependencies dependencies;
        keySource_ = new FakeKeySource();
        dependencies.platform.keySource.reset(keySource_);
        dependencies.platform.soundServer = sound;
        dependencies.platform.accessibilityBus = bus;
        dependencies.platform.keyInjector = keys;
        dependencies.platform.pasteboard = pasteboard;
        dependencies.platform.activeWindowReader = std::make_shared<FakeActiveWindowReader>();
        dependencies.platform.accessibilityStatus = accessibility;
        dependencies.platform.inputMonitoring = inputMonitoring;
        dependencies.platform.commandLauncher = launcher;
        dependencies.platform.keyringItems = keyring;
        dependencies.platform.workspace = workspace;
        dependencies.defaults = defaults;
        dependencies.auth = auth;
        dependencies.locale = &locale;
        dependencies.environment = environment;
        dependencies.terminate = [this] { ++terminations; };
        dependencies.asrTransport = socket;
        auto screens = std::make_shared<FakeScreenLayout>();
        const ScreenLayout::Screen screen { QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 800) };
        screens->screenList = { screen };
        screens->primary = screen;
        dependencies.screens = screens;
        dependencies.overlayClock = clock;
        auto scheduler = std::make_unique<ManualHotkeyScheduler>();
        scheduler_ = scheduler.get();
        dependencies.hotkeyScheduler = std::move(scheduler);
        dependencies.historyBaseDirectory = folder.path();
        dependencies.dataSync = dataSync;
        dependencies.windowServices.serverPreferences = [this] { return serverPreferences; };
        dependencies.sourceCommands = commands;
        dependencies.sleep = timers.sleeper();
        container = std::make_unique<AppContainer>(AppConfig::defaultConfig(), std::move(dependencies),
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("container"), log, nullptr));
    }

    void signIn(qint64 userID = 7)
    {
        const AuthTokens tokens { QStringLiteral("at-%1").arg(userID), QStringLiteral("rt-%1").arg(userID),
            Date::fromUnixSeconds(4'000'000'000) };
        const AuthMe me { userID, QStringLiteral("u%1@x.io").arg(userID), QStringLiteral("zh-CN"),
            Date::fromUnixSeconds(1'700'000'000), std::nullopt };
        api->succeed(FakeAuthAPI::Op::login, AuthAPIProtocol::SignIn { tokens, me });
        runBlocking(auth->loginWithPassword(me.email, QStringLiteral("password")));
    }

    void markOnboarded() { defaults->setBool(SettingsStore::standardKey() + QStringLiteral(".onboarded"), true); }

    // Built, signed in, onboarded and started, with the hotkey armed.
    void startReady()
    {
        markOnboarded();
        signIn();
        build();
        container->start();
        ASSERT_TRUE(
            waitUntil([this] { return keySource_->isStarted() && container->historySyncEngine().isStarted(); }));
    }

    // Returns once every call queued on the main thread before it has run:
    // hotkey events, preference changes, sign-ins and woken sleeps reach
    // the container that way, in order.
    static void afterQueuedCalls() { ASSERT_TRUE(test::afterQueuedCalls()); }

    // The held key (Right Ctrl) as the user presses it: held for `ms`.
    void holdHotkey(int downAt, int upAt)
    {
        using platform::KeyCodeMapping;
        const auto flags = platform::modifierFlag::control | platform::modifierFlag::fn;
        keySource_->send({ platform::KeyEventType::flagsChanged, KeyCodeMapping::heldKey, flags, true,
            std::chrono::milliseconds(downAt) });
        scheduler_->advanceTo(std::chrono::milliseconds(upAt));
        keySource_->send({ platform::KeyEventType::flagsChanged, KeyCodeMapping::heldKey, 0, false,
            std::chrono::milliseconds(upAt) });
    }
    void pressHotkey(int at)
    {
        const auto flags = platform::modifierFlag::control | platform::modifierFlag::fn;
        keySource_->send({ platform::KeyEventType::flagsChanged, platform::KeyCodeMapping::heldKey, flags, true,
            std::chrono::milliseconds(at) });
        scheduler_->advanceTo(std::chrono::milliseconds(at + 250));
    }
    void releaseHotkey(int at)
    {
        keySource_->send({ platform::KeyEventType::flagsChanged, platform::KeyCodeMapping::heldKey, 0, false,
            std::chrono::milliseconds(at) });
    }

    // Returns once the recogniser's reader has taken the frame; what it
    // leads to comes on later turns.
    void serverSays(const QJsonObject& frame)
    {
        socket->pushIncoming(WSMessage::text(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact))));
        ASSERT_TRUE(waitUntil([this] { return socket->incoming().bufferedCount() == 0; }));
    }
    static QJsonObject frame(const char* type, const QString& text = {})
    {
        QJsonObject object { { QStringLiteral("type"), QString::fromUtf8(type) } };
        if (!text.isNull())
            object.insert(QStringLiteral("text"), text);
        return object;
    }

    // A session that reached recording with the recogniser's session open.
    void beginRecording(int at = 0)
    {
        pressHotkey(at);
        ASSERT_TRUE(waitUntil([this] { return socket->isOpen(); }));
        serverSays(frame("ready"));
    }

    DictationState overlayState() const { return container->overlay().viewModel().state.value(); }
    bool islandVisible() const
    {
        return container->overlay().panel() && container->overlay().panel()->isVisible()
            && container->overlay().panel()->windowOpacity() > 0;
    }
    MenuBarIconState icon() const { return container->menuBar().currentIconState(); }

    QStringList logLines() const
    {
        QStringList lines;
        for (const auto& entry : log->entries())
            lines.append(entry.publicPart);
        return lines;
    }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<InMemorySecureItemStore> keyring = std::make_shared<InMemorySecureItemStore>();
    std::shared_ptr<AuthSession> auth;
    std::shared_ptr<FakeSoundServer> sound = std::make_shared<FakeSoundServer>();
    std::shared_ptr<FakeAccessibilityBus> bus = std::make_shared<FakeAccessibilityBus>();
    std::shared_ptr<FakeKeyInjector> keys = std::make_shared<FakeKeyInjector>();
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    std::shared_ptr<FakeAccessibilityStatus> accessibility = std::make_shared<FakeAccessibilityStatus>(true);
    std::shared_ptr<FakeInputMonitoringProbe> inputMonitoring
        = std::make_shared<FakeInputMonitoringProbe>(platform::InputMonitoringSupport::available);
    std::shared_ptr<FakeCommandLauncher> launcher = [] {
        auto installed = std::make_shared<FakeCommandLauncher>();
        installed->installed.insert(QStringLiteral("gnome-control-center"));
        return installed;
    }();
    std::shared_ptr<FakeWorkspace> workspace = std::make_shared<FakeWorkspace>();
    std::shared_ptr<RecordingWebSocketTransport> socket = std::make_shared<RecordingWebSocketTransport>();
    std::shared_ptr<ManualTickerClock> clock = std::make_shared<ManualTickerClock>();
    std::shared_ptr<FakeDataSyncAPI> dataSync = std::make_shared<FakeDataSyncAPI>();
    // The account keeps its history in the cloud.
    std::shared_ptr<FakePreferencesAPI> serverPreferences = [] {
        auto api = std::make_shared<FakePreferencesAPI>();
        api->stored.historySync = true;
        return api;
    }();
    std::shared_ptr<FakeSourceCommandSession> commands = std::make_shared<FakeSourceCommandSession>();
    // The session limits' and the badge's.
    ManualSteadyClock timers;
    std::shared_ptr<RecordingSystemLog> log = std::make_shared<RecordingSystemLog>();
    LocaleResolver locale;
    int terminations = 0;
    std::unique_ptr<AppContainer> container;
    // Owned by the container.
    FakeKeySource* keySource_ = nullptr;
    ManualHotkeyScheduler* scheduler_ = nullptr;
};

} // namespace vellamor::test
