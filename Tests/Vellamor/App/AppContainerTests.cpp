#include "AppContainerFixture.h"
#include "QtPrinters.h"

#include "AccountWindows/AuthSheet.h"
#include "App/AppDelegate.h"
#include "App/SingleInstance.h"
#include "Diagnostics/AboutPage.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "Diagnostics/LogViewerView.h"
#include "HistoryWindows/HistoryViewModel.h"
#include "Hotkey/HotkeyCombo.h"
#include "SettingsWindow/HotkeyRecorder.h"
#include "SettingsWindow/RecordingPage.h"
#include "Storage/UserIDHash.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gmock/gmock.h>
#include <linux/input-event-codes.h>

namespace vellamor::test
{
namespace
{

using namespace std::chrono_literals;

TEST_F(AppContainerTest, BuildingStartsNothingAndTheStartLineNamesTheRecogniser)
{
    Preferences english = Preferences::defaultPreferences();
    english.language = QStringLiteral("en");
    SettingsStore(defaults, SettingsStore::standardKey()).update(english);
    for (const auto& [value, recogniser] : { std::pair { "1", "mock" }, std::pair { "true", "cloud" } }) {
        SCOPED_TRACE(value);
        container.reset();
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("VELLAMOR_MOCK_ASR"), QString::fromUtf8(value));
        build(environment);
        EXPECT_EQ(locale.languageCode(), QStringLiteral("en"));
        EXPECT_EQ(keySource_->startCount(), 0);
        EXPECT_EQ(container->menuBar().item(), nullptr);
        EXPECT_EQ(sound->openCount(), 0);
        container->start();
        EXPECT_EQ(logLines().filter(QStringLiteral("container starting")).last(),
            QStringLiteral("container starting asr=") + QString::fromUtf8(recogniser));
    }
}

TEST_F(AppContainerTest, TheGuideOpensUnlessEveryPermissionIsGrantedAndItWasFinished)
{
    const struct {
        const char* name;
        bool microphone;
        bool onboarded;
        bool guide;
    } cases[] = {
        { "microphoneMissingAfterTheGuide", false, true, true },
        { "grantedButNeverGuided", true, false, true },
        { "grantedAndGuided", true, true, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        container.reset();
        defaults->remove(SettingsStore::standardKey() + QStringLiteral(".onboarded"));
        if (c.onboarded)
            markOnboarded();
        sound->answer = c.microphone ? FakeSoundServer::oneMicrophone() : platform::SoundServerSnapshot {};
        build();
        container->start();
        EXPECT_EQ(container->onboarding() != nullptr, c.guide);
        EXPECT_EQ(icon(), c.guide ? MenuBarIconState::needsSetup : MenuBarIconState::idle);
        // The guide starts the hotkey itself when it reaches its first dictation.
        EXPECT_EVENTUALLY_EQ(keySource_->isStarted(), !c.guide);
        if (!c.guide)
            continue;
        OnboardingViewModel& guide = *container->onboarding()->viewModel();
        const QWidget* welcome = container->onboarding()->window()->page();
        guide.step = OnboardingStep::account;
        ASSERT_TRUE(waitUntil([&] { return container->onboarding()->window()->page() != welcome; }));
        container->onboarding()->window()->primaryButton().click();
        EXPECT_EQ(guide.step.value(), OnboardingStep::account) << "signed out, the account step waits";
        EXPECT_FALSE(keySource_->isStarted());
        guide.step = OnboardingStep::firstRun;
        EXPECT_TRUE(waitUntil([this] { return keySource_->isStarted(); }));
        container->onboarding()->window()->close();
        ASSERT_TRUE(waitUntil([this] { return container->onboarding() == nullptr; }));
        EXPECT_TRUE(container->settingsStore().hasCompletedOnboarding());
        EXPECT_EQ(icon(), MenuBarIconState::idle);
    }
}

TEST_F(AppContainerTest, ARefusedStartShowsItsHintForItsTimeAndOpensNoSession)
{
    const struct {
        const char* name;
        bool signedIn;
        bool microphone;
        QString reason;
        std::chrono::milliseconds shownFor;
    } cases[] = {
        { "signedOut", false, true, DictationRoad::unauthenticatedHint(), 2000ms },
        { "microphoneDenied", true, false, QStringLiteral("未检测到麦克风"), 2200ms },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        container.reset();
        if (c.signedIn)
            signIn();
        else
            runBlocking(auth->logout());
        sound->answer = c.microphone ? FakeSoundServer::oneMicrophone() : platform::SoundServerSnapshot {};
        markOnboarded();
        build();
        container->start();
        // Without a microphone the guide opens; its first dictation arms the hotkey.
        if (OnboardingWindowController* guide = container->onboarding())
            guide->viewModel()->step = OnboardingStep::firstRun;
        ASSERT_TRUE(waitUntil([this] { return keySource_->isStarted(); }));
        const QString released = QStringLiteral("endDictation ignored: no session");
        const qsizetype releasedBefore = logLines().count(released);
        for (int attempt = 0; attempt < 2; ++attempt) {
            holdHotkey(1000 * attempt, 1000 * attempt + 300);
            // The release, queued after the press, finds no session to end.
            ASSERT_TRUE(waitUntil([&] { return logLines().count(released) == releasedBefore + attempt + 1; }));
            afterQueuedCalls();
            EXPECT_EQ(overlayState(), DictationState::failed(c.reason));
            EXPECT_EQ(icon(), MenuBarIconState::error);
            EXPECT_FALSE(container->session().sessionBusy.value());
            EXPECT_FALSE(container->session().hotkeyToggle.value());
        }
        EXPECT_EQ(sound->openCount(), 0);
        EXPECT_TRUE(socket->calls().isEmpty());
        QList<QMessageBox*> alerts;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* alert = qobject_cast<QMessageBox*>(window); alert && alert->isVisible())
                alerts.append(alert);
        }
        if (c.microphone) {
            EXPECT_TRUE(alerts.isEmpty());
        } else {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts[0]->text(), MicrophoneGate::alertTitle());
            EXPECT_FALSE(alerts[0]->informativeText().contains(QStringLiteral("macOS")));
            for (QAbstractButton* button : alerts[0]->buttons()) {
                if (button->text() == QStringLiteral("打开系统设置"))
                    button->click();
            }
            EXPECT_EVENTUALLY_EQ(launcher->launches,
                (QList<QStringList> { { QStringLiteral("gnome-control-center"), QStringLiteral("sound") } }));
        }
        clock->advance(c.shownFor - 10ms);
        // Its fade would have begun by now.
        runEventLoopFor(450ms);
        EXPECT_TRUE(islandVisible());
        clock->advance(10ms);
        EXPECT_TRUE(waitUntil([this] { return !islandVisible(); }));
        if (c.signedIn)
            continue;
        // Signing in ends an error that only said the user was signed out.
        signIn();
        EXPECT_EVENTUALLY_EQ(overlayState(), DictationState::idle());
        EXPECT_EVENTUALLY_EQ(icon(), MenuBarIconState::idle);
    }
}

TEST_F(AppContainerTest, ADictationShowsRecordingThenProcessingThenIdleAndLeavesItsTextAndRecord)
{
    startReady();
    beginRecording();
    EXPECT_EVENTUALLY_EQ(icon(), MenuBarIconState::recording);
    EXPECT_TRUE(container->session().sessionBusy.value());
    EXPECT_TRUE(waitUntil([this] { return islandVisible(); }));
    EXPECT_EQ(socket->lastBearerToken(), QStringLiteral("at-7"));

    releaseHotkey(400);
    EXPECT_EVENTUALLY_EQ(icon(), MenuBarIconState::processing);
    EXPECT_TRUE(waitUntil([this] { return socket->sentTexts().last().contains(QStringLiteral("stop")); }));
    serverSays(frame("final", QStringLiteral("你好")));
    serverSays(frame("done"));
    ASSERT_TRUE(waitUntil([this] { return overlayState() == DictationState::done(); }));
    EXPECT_EQ(icon(), MenuBarIconState::idle);
    EXPECT_FALSE(container->session().sessionBusy.value());
    EXPECT_EQ(bus->field().text, QStringLiteral("你好"));
    EXPECT_FALSE(container->overlay().viewModel().leftOnClipboard.value());
    const QList<HistoryRecord> records = runBlocking(container->historyStore()->all());
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].text, QStringLiteral("你好"));

    // With no field and no window in front the island says where the text went, and the record stays.
    bus->clearFocus();
    keys->focused.reset();
    beginRecording(5000);
    releaseHotkey(5400);
    ASSERT_TRUE(waitUntil([this] { return socket->sentTexts().last().contains(QStringLiteral("stop")); }));
    serverSays(frame("final", QStringLiteral("再见")));
    serverSays(frame("done"));
    ASSERT_TRUE(waitUntil([this] { return overlayState() == DictationState::done(); }));
    EXPECT_TRUE(container->overlay().viewModel().leftOnClipboard.value());
    EXPECT_EQ(runBlocking(container->historyStore()->all()).size(), 2);
}

// The session ends and keeps its record while its text is still being typed;
// a dictation begun meanwhile is not refused, and the earlier text's outcome
// (left on the clipboard) does not mark the new dictation's island.
TEST_F(AppContainerTest, ATextStillBeingTypedHoldsUpNoDictationAndKeepsItsOutcomeToItself)
{
    startReady();
    bus->clearFocus();
    keys->refuseTapsFrom = 200;
    beginRecording();
    releaseHotkey(400);
    serverSays(frame("final", QString(300, u'a')));
    serverSays(frame("done"));
    ASSERT_TRUE(waitUntil([this] { return overlayState() == DictationState::done(); }));
    EXPECT_LT(keys->taps().size(), 200u);
    EXPECT_EQ(runBlocking(container->historyStore()->all()).size(), 1);

    beginRecording(5000);
    EXPECT_EVENTUALLY_EQ(overlayState(), DictationState::recording());
    // The refused key ends the typing; the text goes to the clipboard.
    ASSERT_TRUE(waitUntil([this] { return !pasteboard->writes().empty(); }));
    afterQueuedCalls();
    EXPECT_EQ(keys->taps().size(), 200u);
    EXPECT_FALSE(container->overlay().viewModel().leftOnClipboard.value());
    EXPECT_EQ(overlayState(), DictationState::recording());
}

TEST_F(AppContainerTest, ALateEndOfAnAbandonedSessionIsDropped)
{
    startReady();
    beginRecording();
    serverSays(QJsonObject { { QStringLiteral("type"), QStringLiteral("error") }, { QStringLiteral("code"), 50021 },
        { QStringLiteral("msg"), QStringLiteral("busy") } });
    ASSERT_TRUE(waitUntil([this] { return overlayState().kind() == DictationState::Kind::failed; }));
    EXPECT_EQ(icon(), MenuBarIconState::error);
    const QUuid abandoned = *container->dictation().currentSnapshot().sessionID;

    const auto lateEnd
        = [](QUuid id) { return SessionSnapshot(id, DictationState::cancelled(), {}, {}, {}, 0, 0, std::nullopt); };
    // Before the new session reports, and after: dropped either way.
    container->overlay().viewModel().onRetry();
    container->applySnapshot(lateEnd(abandoned));
    EXPECT_TRUE(logLines().contains(QStringLiteral("ignored stale terminal snapshot from retried session")));
    ASSERT_TRUE(waitUntil([this] { return overlayState() == DictationState::recording(); }));
    container->applySnapshot(lateEnd(abandoned));
    EXPECT_TRUE(logLines().contains(QStringLiteral("ignored stale terminal snapshot from previous session")));
    EXPECT_EQ(overlayState(), DictationState::recording());
    EXPECT_TRUE(container->session().sessionBusy.value());
    EXPECT_EQ(icon(), MenuBarIconState::recording);
}

TEST_F(AppContainerTest, OnlyAChangedHotkeyOrModeRestartsTheMonitor)
{
    startReady();
    const struct {
        const char* name;
        std::function<void(Preferences&)> change;
        bool restarts;
        std::optional<platform::KeyGrab> grab;
    } cases[] = {
        { "polishing", [](Preferences& p) { p.enableLLMPolish = false; }, false, std::nullopt },
        { "language", [](Preferences& p) { p.language = QStringLiteral("zh"); }, false, std::nullopt },
        { "combination", [](Preferences& p) { p.customHotkey = QStringLiteral("ctrl+shift+k"); }, true,
            platform::KeyGrab {
                platform::virtualKey::k, platform::modifierFlag::control | platform::modifierFlag::shift } },
        { "sameCombination", [](Preferences& p) { p.customHotkey = QStringLiteral("ctrl+shift+k"); }, false,
            std::nullopt },
        { "unparsable", [](Preferences& p) { p.customHotkey = QStringLiteral("ctrl+nokey"); }, true, std::nullopt },
        { "bareCharacterKey", [](Preferences& p) { p.customHotkey = QStringLiteral("k"); }, true, std::nullopt },
        { "bareFunctionKey", [](Preferences& p) { p.customHotkey = QStringLiteral("f5"); }, true,
            platform::KeyGrab { 96, 0 } },
        { "cleared", [](Preferences& p) { p.customHotkey = QStringLiteral(""); }, true, std::nullopt },
        { "toggleMode", [](Preferences& p) { p.hotkeyMode = QStringLiteral("toggle"); }, true, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int starts = keySource_->startCount();
        Preferences prefs = container->settingsStore().current();
        c.change(prefs);
        container->settingsStore().update(prefs);
        afterQueuedCalls();
        EXPECT_EQ(keySource_->startCount() - starts, c.restarts ? 1 : 0);
        EXPECT_TRUE(keySource_->isStarted());
        if (c.restarts) {
            EXPECT_EQ(keySource_->grabs().back(), c.grab);
        }
    }
    EXPECT_EQ(container->hotkey().mode(), HotkeyMode::toggle);
    EXPECT_TRUE(logLines().contains(QStringLiteral("invalid customHotkey ignored")));
}

// While the settings record a new hotkey, the monitor is off: Right Ctrl
// records "fn" instead of starting a dictation, and a grabbed combination
// reaches the recorder. It comes back with what is stored, however the
// recording ends.
TEST_F(AppContainerTest, RecordingAHotkeyInSettingsHoldsTheMonitorUntilItEnds)
{
    startReady();
    container->settingsWindow().show(SettingsSection::recording);
    auto* page = qobject_cast<RecordingPage*>(container->settingsWindow().window()->page());
    ASSERT_NE(page, nullptr);
    HotkeyRecorder& recorder = page->recorder();
    const int starts = keySource_->startCount();
    recorder.recordButton().click();
    EXPECT_FALSE(keySource_->isStarted());
    // A preference written meanwhile does not bring it back early.
    Preferences prefs = container->settingsStore().current();
    prefs.hotkeyMode = QStringLiteral("toggle");
    container->settingsStore().update(prefs);
    afterQueuedCalls();
    EXPECT_FALSE(keySource_->isStarted());
    for (const int code : { KEY_LEFTCTRL, KEY_LEFTALT, KEY_D }) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, static_cast<quint32>(code + 8), 0, 0);
        QApplication::sendEvent(&recorder, &press);
    }
    EXPECT_EVENTUALLY_EQ(container->settingsStore().current().customHotkey, QStringLiteral("option+control+d"));
    EXPECT_TRUE(waitUntil([this] { return keySource_->isStarted(); }));
    afterQueuedCalls();
    EXPECT_EQ(keySource_->startCount() - starts, 1);
    EXPECT_EQ(keySource_->grabs().back(),
        (platform::KeyGrab { *HotkeyCombo::keyCode(QStringLiteral("d")),
            platform::modifierFlag::control | platform::modifierFlag::option }));
    EXPECT_EQ(container->hotkey().mode(), HotkeyMode::toggle);

    recorder.recordButton().click();
    EXPECT_FALSE(keySource_->isStarted());
    container->settingsWindow().show(SettingsSection::general);
    EXPECT_TRUE(waitUntil([this] { return keySource_->isStarted(); }));
}

TEST_F(AppContainerTest, TheTrayOpensTheSettingsWindowOnTheSectionItNames)
{
    startReady();
    MenuBarController& menu = container->menuBar();
    menu.onOpenSettings(std::nullopt);
    SettingsWindow* window = container->settingsWindow().window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->shownSection(), SettingsSection::general);
    const struct {
        std::optional<QString> name;
        SettingsSection shown;
    } cases[] = {
        { QStringLiteral("diagnostics"), SettingsSection::diagnostics },
        { QStringLiteral("Diagnostics"), SettingsSection::diagnostics },
        { QStringLiteral("backend"), SettingsSection::backend },
        { std::nullopt, SettingsSection::backend },
    };
    for (const auto& c : cases) {
        window->close();
        menu.onOpenSettings(c.name);
        EXPECT_EQ(container->settingsWindow().window(), window);
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(window->shownSection(), c.shown);
    }
}

TEST_F(AppContainerTest, TheDiagnosticsAndAboutSectionsShowTheRealPagesOverTheContainersServices)
{
    startReady();
    container->menuBar().onOpenSettings(QStringLiteral("diagnostics"));
    SettingsWindow* window = container->settingsWindow().window();
    auto* diagnostics = dynamic_cast<DiagnosticsPage*>(window->page());
    ASSERT_NE(diagnostics, nullptr);
    ASSERT_TRUE(waitUntil([&] { return !diagnostics->model().statuses.value().isEmpty(); }));
    EXPECT_EQ(diagnostics->model().statuses.value().value(VellamorPermission::accessibility),
        VellamorPermissionStatus::granted);
    diagnostics->logToggle()->click();
    EXPECT_TRUE(waitUntil([&] { return !diagnostics->logViewer()->model().isLoading.value(); }));
    EXPECT_TRUE(diagnostics->logViewer()->model().status.value().startsWith(
        VellamorLog::fileURL().value() + QStringLiteral(" · ")));

    container->settingsWindow().show(SettingsSection::about);
    auto* about = dynamic_cast<AboutPage*>(window->page());
    ASSERT_NE(about, nullptr);
    about->links().first()->click();
    EXPECT_EQ(workspace->openedUrls, QList<QUrl> { QUrl(QString::fromLatin1(AboutPage::websiteUrl)) });
}

// "帮助" opens the help page in the browser; where none opens it, an alert
// gives its address to copy.
TEST_F(AppContainerTest, HelpThatNoBrowserOpensIsAnsweredWithItsAddress)
{
    startReady();
    MenuBarController& menu = container->menuBar();
    const QUrl help(QStringLiteral("https://vellamor.com/help"));
    menu.onShowHelp();
    EXPECT_EQ(workspace->openedUrls, QList<QUrl> { help });
    EXPECT_EQ(menu.helpAlert(), nullptr);

    workspace->opens = false;
    menu.onShowHelp();
    ASSERT_NE(menu.helpAlert(), nullptr);
    EXPECT_TRUE(menu.helpAlert()->isVisible());
    EXPECT_EQ(menu.helpAlert()->text(), QStringLiteral("无法打开帮助页面"));
    EXPECT_TRUE(menu.helpAlert()->informativeText().endsWith(help.toString()));
    EXPECT_TRUE(menu.helpAlert()->textInteractionFlags() & Qt::TextSelectableByMouse);
    QMessageBox* first = menu.helpAlert();
    menu.onShowHelp();
    EXPECT_EQ(menu.helpAlert(), first) << "one alert at a time";
}

TEST_F(AppContainerTest, TheStatusItemRecordsAndStopsUnlessBusyOrDisabled)
{
    startReady();
    MenuBarController& menu = container->menuBar();
    menu.onToggleRecord();
    ASSERT_TRUE(waitUntil([this] { return socket->isOpen(); }));
    EXPECT_TRUE(container->session().isRecordingFromStatus.value());
    menu.onToggleRecord();
    EXPECT_TRUE(waitUntil([this] { return socket->sentTexts().last().contains(QStringLiteral("stop")); }));
    EXPECT_FALSE(container->session().isRecordingFromStatus.value());
    serverSays(frame("done"));
    ASSERT_TRUE(waitUntil([this] { return !container->session().sessionBusy.value(); }));

    pressHotkey(1000);
    ASSERT_TRUE(waitUntil([this] { return container->session().sessionBusy.value(); }));
    menu.onToggleRecord();
    EXPECT_TRUE(waitUntil([this] { return logLines().contains(QStringLiteral("status toggle on ignored: busy")); }));
    EXPECT_FALSE(container->session().isRecordingFromStatus.value());
    releaseHotkey(1400);
    serverSays(frame("done"));
    ASSERT_TRUE(waitUntil([this] { return !container->session().sessionBusy.value(); }));

    menu.onToggleEnabled(false);
    const int connects = static_cast<int>(socket->calls().filter(QStringLiteral("connect")).size());
    pressHotkey(2000);
    menu.onToggleRecord();
    afterQueuedCalls();
    EXPECT_FALSE(container->session().sessionBusy.value());
    EXPECT_EQ(socket->calls().filter(QStringLiteral("connect")).size(), connects);
}

TEST_F(AppContainerTest, ASecondStartWithoutALinkBringsUpTheSettings)
{
    build();
    QTemporaryDir folder;
    AppDelegate running(
        AppConfig::defaultConfig(), [this](const AppConfig&) { return std::move(container); },
        std::make_unique<SingleInstance>(folder.filePath(QStringLiteral("s"))), [] {});
    running.applicationDidFinishLaunching({});
    const auto shown = [&] {
        const QWidget* settings = running.container()->settingsWindow().window();
        return settings && settings->isVisible();
    };
    EXPECT_FALSE(shown());
    ASSERT_TRUE(SingleInstance(folder.filePath(QStringLiteral("s"))).isAnotherInstanceRunning({}));
    EXPECT_TRUE(waitUntil(shown));
    running.applicationWillTerminate();
}

TEST_F(AppContainerTest, TheMicrophoneSubmenuFollowsTheSoundServer)
{
    startReady();
    const auto entries = container->menuBar().menu().actions();
    QMenu* microphones = (*std::find_if(entries.begin(), entries.end(), [](QAction* a) { return a->menu(); }))->menu();
    const auto lastListed = [&] { return microphones->actions().last()->text(); };
    ASSERT_TRUE(waitUntil([&] { return lastListed() == QStringLiteral("Microphone（当前默认）"); }));
    sound->changeSources({ .reachable = true, .failure = {}, .defaultSourceName = {}, .sources = {} });
    EXPECT_TRUE(waitUntil([&] { return lastListed() == QStringLiteral("未找到输入设备"); }));
}

TEST_F(AppContainerTest, QuittingFromTheMenuStopsOnce)
{
    startReady();
    container->menuBar().onQuit();
    container->stop();
    afterQueuedCalls();
    EXPECT_FALSE(keySource_->isStarted());
    EXPECT_EQ(logLines().count(QStringLiteral("container stopping")), 1);
    EXPECT_FALSE(container->menuStatus().isTicking());
    EXPECT_EVENTUALLY_EQ(socket->closeCount(), 1);
}

// The hotkey works in the mode the user chose: held by default, tapped in toggle mode.
TEST_F(AppContainerTest, HoldModeRecordsWhileHeldAndToggleModeBetweenTaps)
{
    startReady();
    pressHotkey(0);
    EXPECT_TRUE(waitUntil([this] { return container->session().sessionBusy.value(); }));
    releaseHotkey(300);
    EXPECT_TRUE(waitUntil([&] { return socket->sentTexts().filter(QStringLiteral("stop")).size() == 1; }));
    serverSays(frame("done"));
    ASSERT_TRUE(waitUntil([this] { return !container->session().sessionBusy.value(); }));

    Preferences prefs = container->settingsStore().current();
    prefs.hotkeyMode = QStringLiteral("toggle");
    container->settingsStore().update(prefs);
    afterQueuedCalls();
    holdHotkey(1000, 1050);
    EXPECT_TRUE(waitUntil([this] { return container->session().sessionBusy.value(); }));
    holdHotkey(2000, 2050);
    EXPECT_TRUE(waitUntil([&] { return socket->sentTexts().filter(QStringLiteral("stop")).size() == 2; }));
}

// A session opened without a press must still stop at the next tap.
TEST_F(AppContainerTest, ASessionOpenedWithoutAPressStopsAtTheNextTap)
{
    Preferences prefs = Preferences::defaultPreferences();
    prefs.hotkeyMode = QStringLiteral("toggle");
    SettingsStore(defaults, SettingsStore::standardKey()).update(prefs);
    startReady();
    container->menuBar().onToggleRecord();
    ASSERT_TRUE(waitUntil([this] { return container->session().sessionBusy.value(); }));
    EXPECT_TRUE(container->session().hotkeyToggle.value());
    holdHotkey(0, 50);
    EXPECT_EVENTUALLY_EQ(socket->sentTexts().filter(QStringLiteral("stop")).size(), 1);
}

// However a toggle-mode session ends, the session model's toggle, which the
// hotkey flips, is off again, so the next tap starts a new session.
TEST_F(AppContainerTest, InToggleModeTheTapAfterAnyEndStartsANewSession)
{
    Preferences prefs = Preferences::defaultPreferences();
    prefs.hotkeyMode = QStringLiteral("toggle");
    SettingsStore(defaults, SettingsStore::standardKey()).update(prefs);
    startReady();
    const struct {
        const char* name;
        std::function<void(int at)> end;
    } cases[] = {
        { "tapped off",
            [this](int at) {
                holdHotkey(at, at + 50);
                serverSays(frame("done"));
            } },
        { "cancelled on the island", [this](int) { container->overlay().viewModel().onCancel(); } },
        { "failed",
            [this](int) {
                serverSays(QJsonObject { { QStringLiteral("type"), QStringLiteral("error") },
                    { QStringLiteral("code"), 50021 }, { QStringLiteral("msg"), QStringLiteral("busy") } });
            } },
        { "stopped at the hard limit",
            [this](int) {
                timers.advance(360s);
                ASSERT_TRUE(waitUntil([this] { return socket->sentTexts().last().contains(QStringLiteral("stop")); }));
                serverSays(frame("done"));
            } },
    };
    int at = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        holdHotkey(at, at + 50);
        ASSERT_TRUE(waitUntil([this] { return socket->isOpen(); }));
        serverSays(frame("ready"));
        EXPECT_TRUE(waitUntil([this] { return overlayState() == DictationState::recording(); }));
        EXPECT_TRUE(container->session().hotkeyToggle.value());
        c.end(at + 1000);
        ASSERT_TRUE(waitUntil([this] { return !container->session().sessionBusy.value(); }));
        EXPECT_FALSE(container->session().hotkeyToggle.value());
        at += 5000;
    }
}

// A paste chord the user presses, in any application, ends a pasted text's
// loan: what the target pastes from then on is the user's own copy.
TEST_F(AppContainerTest, TheUsersPasteChordGivesTheirContentsBack)
{
    startReady();
    const auto clipboard = platform::PasteboardSelection::clipboard;
    pasteboard->hold(clipboard, { { QStringLiteral("text/plain"), QByteArrayLiteral("earlier") } });
    const auto loan = runBlocking(pasteboard->lend(clipboard, QStringLiteral("dictated")));
    loan->chordSent(5s);
    pasteboard->fetch(clipboard);
    pasteboard->runFor(platform::ClipboardLoan::Timing {}.ownChordEcho);
    ASSERT_EQ(pasteboard->served(clipboard, FakePasteboard::Client::target), QStringLiteral("dictated"));

    keySource_->send(
        { platform::KeyEventType::keyDown, platform::virtualKey::v, platform::modifierFlag::control, false, 1000ms });
    EXPECT_EQ(pasteboard->served(clipboard, FakePasteboard::Client::target), QStringLiteral("earlier"));
}

// The microphone opens at key-down: a tap throws its audio away; a long press
// keeps it through a slow token, and a release meanwhile ends it once started.
TEST_F(AppContainerTest, CaptureStartsAtThePressAndAReleaseDuringStartUpLosesNothing)
{
    startReady();
    const QByteArray fiveFrames(5 * 640, '\x01');
    const auto keyDown = [this](int at) {
        keySource_->send({ platform::KeyEventType::flagsChanged, platform::KeyCodeMapping::heldKey,
            platform::modifierFlag::control | platform::modifierFlag::fn, true, std::chrono::milliseconds(at) });
    };
    keyDown(500);
    ASSERT_TRUE(sound->deliver(fiveFrames));
    releaseHotkey(600);
    EXPECT_TRUE(waitUntil([this] { return !sound->isStreamOpen(); })) << "a tap discards its audio";

    const AuthMe me { 7, QStringLiteral("u7@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
        std::nullopt };
    api->succeed(FakeAuthAPI::Op::login,
        AuthAPIProtocol::SignIn { { QStringLiteral("at-7"), QStringLiteral("rt-7"), Date::now() }, me });
    runBlocking(auth->loginWithPassword(me.email, QStringLiteral("password")));
    api->succeed(FakeAuthAPI::Op::refresh,
        AuthTokens { QStringLiteral("at-8"), QStringLiteral("rt-8"), Date::fromUnixSeconds(4'000'000'000) }, 300ms);
    keyDown(1000);
    ASSERT_TRUE(sound->deliver(fiveFrames)); // said before the press became long
    pressHotkey(1000);
    ASSERT_TRUE(sound->deliver(fiveFrames));
    releaseHotkey(1300);
    afterQueuedCalls();
    sound->deliver(fiveFrames); // after the release
    EXPECT_TRUE(container->session().sessionBusy.value());

    ASSERT_TRUE(waitUntil([&] { return socket->sentTexts().filter(QStringLiteral("stop")).size() == 1; }));
    EXPECT_EQ(socket->sentBinary(), QList<WSMessage>(10, WSMessage::binary(QByteArray(640, '\x01'))));
    EXPECT_TRUE(socket->sent().last().text().contains(QStringLiteral("stop")));
    serverSays(frame("final", QStringLiteral("这一次")));
    serverSays(frame("done"));
    EXPECT_TRUE(waitUntil([this] { return !container->session().sessionBusy.value(); }));
}

TEST_F(AppContainerTest, AStoppedSessionThatNeverEndsFailsAfterItsLimit)
{
    startReady();
    beginRecording();
    const int sleeps = timers.sleepsBegun();
    releaseHotkey(300);
    // The limit's sleep has begun; short of its end nothing is woken.
    ASSERT_TRUE(waitUntil([&] { return timers.sleepsBegun() > sleeps; }));
    timers.advance(59'999ms);
    afterQueuedCalls();
    EXPECT_TRUE(container->session().sessionBusy.value());
    timers.advance(1ms);
    ASSERT_TRUE(waitUntil([this] { return !container->session().sessionBusy.value(); }));
    EXPECT_EQ(overlayState(), DictationState::failed(DictationRoad::stalledSessionReason()));
    EXPECT_EQ(icon(), MenuBarIconState::error);
    // The give-up's own cancel does not replace the reason.
    EXPECT_TRUE(waitUntil([this] {
        return logLines().contains(QStringLiteral("ignored stale terminal snapshot from retried session"));
    }));
    EXPECT_EQ(overlayState(), DictationState::failed(DictationRoad::stalledSessionReason()));
}

// The launch's signed-out transition is held in the phone session's stop
// while the sign-in is published: the sign-in waits for it.
TEST_F(AppContainerTest, AccountChangesApplyInOrderAndMoveTheStoreTheEngineAndThePhoneSession)
{
    markOnboarded();
    commands->holdStop = true;
    build();
    container->start();
    signIn(7);
    afterQueuedCalls();
    EXPECT_FALSE(container->historySyncEngine().isStarted());
    commands->holdStop = false;
    commands->stopGate.push(true);
    ASSERT_TRUE(waitUntil([this] { return container->historySyncEngine().isStarted(); }));

    signIn(8);
    ASSERT_TRUE(
        waitUntil([this] { return container->historyStore()->account() == UserIDHash::hash8(QStringLiteral("8")); }));
    api->succeed(FakeAuthAPI::Op::logout);
    runBlocking(auth->logout());
    ASSERT_TRUE(waitUntil([this] { return !container->historySyncEngine().isStarted(); }));
    // Signed out twice at launch: the state at subscription, then the
    // bootstrap's answer.
    EXPECT_EVENTUALLY_EQ(commands->calls,
        (QStringList { QStringLiteral("stop"), QStringLiteral("stop"), QStringLiteral("start"), QStringLiteral("stop"),
            QStringLiteral("start"), QStringLiteral("stop") }));
    QStringList accounts;
    for (const QString& line : logLines().filter(QStringLiteral("history store switched: account=")))
        accounts.append(line.section(u'=', 1));
    EXPECT_EQ(accounts,
        (QStringList { QStringLiteral("anonymous"), QStringLiteral("anonymous"), UserIDHash::hash8(QStringLiteral("7")),
            QStringLiteral("anonymous"), UserIDHash::hash8(QStringLiteral("8")), QStringLiteral("anonymous") }));
}

TEST_F(AppContainerTest, SigningInDropsTheOpenHistoryPanelAndTheNextOneFollowsTheNewStore)
{
    markOnboarded();
    build();
    container->start();
    HistoryWindowController& history = container->historyWindow();
    history.show();
    ASSERT_NE(history.panel(), nullptr);
    signIn(7);
    ASSERT_TRUE(
        waitUntil([this] { return container->historyStore()->account() == UserIDHash::hash8(QStringLiteral("7")); }));
    EXPECT_EQ(history.panel(), nullptr);
    EXPECT_EQ(history.store(), container->historyStore());
    EXPECT_EQ(history.syncEngine(), &container->historySyncEngine());

    history.show();
    runBlocking(container->historyStore()->append(HistoryRecord(QUuid::createUuid(), QStringLiteral("after the switch"),
        std::nullopt, std::nullopt, std::nullopt, Date::now(), std::nullopt, std::nullopt, false, std::nullopt)));
    EXPECT_TRUE(waitUntil([&] {
        const QList<HistoryRecord>& items = history.viewModel()->items.value();
        return items.size() == 1 && items.first().text == QStringLiteral("after the switch");
    }));
}

// A record pulled from the cloud, a deletion and a clearing are no uploads.
TEST_F(AppContainerTest, APhoneTextIsRecordedBeforeItIsTypedAndItsRecordAloneIsUploaded)
{
    startReady();
    qsizetype recordsWhenTyped = -1;
    bus->field().reformat = [this, &recordsWhenTyped](const QString& text) {
        recordsWhenTyped = runBlocking(container->historyStore()->all()).size();
        return text;
    };
    int listChanges = 0;
    QObject::connect(container.get(), &AppContainer::inputSourceListChanged, [&listChanges] { ++listChanges; });
    commands->stream.push(SourceCommand::insert(QStringLiteral("手机上说的话"), 3, 9));
    commands->stream.push(SourceCommand::sourceRevoked(3));
    commands->stream.push(SourceCommand::sourceUpdated(4));
    ASSERT_TRUE(waitUntil([this] { return bus->field().text == QStringLiteral("手机上说的话"); }));
    EXPECT_EQ(recordsWhenTyped, 1);
    EXPECT_EQ(listChanges, 2);
    const std::shared_ptr<LocalHistoryStore> store = container->historyStore();
    const QList<HistoryRecord> records = runBlocking(store->all());
    ASSERT_EQ(records.size(), 1);
    const HistoryRecord& phone = records.first();
    EXPECT_EQ(phone.recognizedText, QStringLiteral("手机上说的话"));
    EXPECT_EQ(phone.sourceApp, QStringLiteral("mobile-input-source"));
    ASSERT_TRUE(waitUntil([&] { return dataSync->calls.contains(QStringLiteral("append ") + phone.clientID()); }));

    runBlocking(store->append(HistoryRecord(QUuid::createUuid(), QStringLiteral("云端的"), std::nullopt, std::nullopt,
        std::nullopt, Date::now(), std::nullopt, std::nullopt, true, 5)));
    runBlocking(store->deleteRecord(phone.id));
    runBlocking(store->clear());
    // The store's events reach the engine on the main thread after its calls end.
    runBlocking(store->flush());
    afterQueuedCalls();
    EXPECT_EQ(
        dataSync->calls, (QStringList { QStringLiteral("sync 0"), QStringLiteral("append ") + phone.clientID() }));
}

// A phone's text is told as a dictation's: the island shows it finished, in
// the field or left on the clipboard where it could not go in.
TEST_F(AppContainerTest, APhoneTextIsToldOnTheIslandWithWhereItWent)
{
    struct Case {
        const char* name;
        std::function<void()> target;
        bool leftOnClipboard;
    };
    const std::array cases {
        Case { "into the field", [] {}, false },
        Case { "a read-only field",
            [this] {
                FakeAccessibilityBus::Field readOnly;
                readOnly.readOnly = true;
                bus->focus(readOnly);
            },
            true },
        Case { "no window in front",
            [this] {
                bus->clearFocus();
                keys->focused.reset();
            },
            true },
    };
    startReady();
    const OverlayViewModel& island = container->overlay().viewModel();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = QString::fromUtf8(c.name);
        c.target();
        commands->stream.push(SourceCommand::insert(text, 3, 9));
        ASSERT_TRUE(waitUntil([&] {
            return islandVisible() && island.state.value() == DictationState::done() && island.finalText.value() == text
                && !island.delivering.value();
        }));
        EXPECT_EQ(island.leftOnClipboard.value(), c.leftOnClipboard);
        EXPECT_EQ(pasteboard->text(platform::PasteboardSelection::clipboard) == text, c.leftOnClipboard);
    }
}

// A dictation keeps its island while it records and while its own text goes
// in: a phone's text delivered meanwhile is told once the island is free.
TEST_F(AppContainerTest, APhoneTextWaitsForADictationsIsland)
{
    startReady();
    OverlayViewModel& island = container->overlay().viewModel();
    QStringList told;
    const Subscription outcomes = island.delivering.subscribe([&](bool delivering) {
        if (island.delivering.value() && !delivering)
            told.append(island.finalText.value() + (island.leftOnClipboard.value() ? u":clipboard" : u":in"));
    });

    beginRecording();
    bus->clearFocus();
    keys->focused.reset();
    commands->stream.push(SourceCommand::insert(QStringLiteral("录音时"), 3, 9));
    ASSERT_TRUE(waitUntil(
        [this] { return pasteboard->text(platform::PasteboardSelection::clipboard) == QStringLiteral("录音时"); }));
    afterQueuedCalls();
    EXPECT_EQ(overlayState(), DictationState::recording());

    // Typed, so that the phone's text arrives while the dictation's goes in.
    keys->focused = platform::FocusedWindow { 4242 };
    keys->onTap = [this](const FakeKeyInjector::Tap&) {
        if (keys->taps().size() == 1)
            commands->stream.push(SourceCommand::insert(QStringLiteral("phone"), 3, 10));
    };
    const QString dictated(300, u'a');
    releaseHotkey(400);
    serverSays(frame("final", dictated));
    serverSays(frame("done"));
    ASSERT_TRUE(waitUntil([&] { return island.finalText.value() == QStringLiteral("phone") && !island.delivering.value(); }));
    EXPECT_EQ(keys->typed(), dictated + QStringLiteral("phone"));
    EXPECT_EQ(told, (QStringList { dictated + QStringLiteral(":in"), QStringLiteral("phone:in") }));
}

// An account that keeps its history on the device: nothing is pulled or
// uploaded, also when the setting cannot be read, until it is switched on.
TEST_F(AppContainerTest, HistoryStaysLocalWhileTheAccountsCloudSyncIsOff)
{
    for (const bool unreadable : { false, true }) {
        SCOPED_TRACE(unreadable ? "unreadable" : "off");
        serverPreferences->stored.historySync = false;
        serverPreferences->failure
            = unreadable ? std::make_exception_ptr(std::runtime_error("offline")) : std::exception_ptr();
        dataSync->calls.clear();
        container.reset();
        startReady();
        ASSERT_TRUE(waitUntil([this] { return serverPreferences->reads > 0; }));
        commands->stream.push(SourceCommand::insert(QStringLiteral("只在本机"), 3, 9));
        ASSERT_TRUE(waitUntil([this] { return bus->field().text.endsWith(QStringLiteral("只在本机")); }));
        runBlocking(container->historyStore()->flush());
        afterQueuedCalls();
        EXPECT_EQ(dataSync->calls, QStringList());
        EXPECT_FALSE(container->historySyncEngine().isCloudSyncEnabled());
    }
    container->historySyncEngine().setCloudSyncEnabled(true);
    container->historySyncEngine().syncNow();
    ASSERT_TRUE(waitUntil([this] { return dataSync->calls.size() >= 2; }));
    EXPECT_EQ(dataSync->calls.first(), QStringLiteral("sync 0"));
    EXPECT_TRUE(dataSync->calls.last().startsWith(QStringLiteral("append ")));
}

TEST_F(AppContainerTest, TheConnectedBadgeLastsFortyFiveSecondsAfterTheLastConnectAndEndsAtSignOut)
{
    startReady();
    const auto connectAndWait = [this](std::chrono::milliseconds wait) {
        const int sleeps = timers.sleepsBegun();
        commands->stream.push(SourceCommand::sourceConnected(4));
        EXPECT_TRUE(waitUntil([&] { return timers.sleepsBegun() > sleeps; }));
        timers.advance(wait);
        afterQueuedCalls();
        return container->menuBar().hasConnectedInputSource();
    };
    EXPECT_TRUE(connectAndWait(30s));
    EXPECT_TRUE(connectAndWait(30s)) << "the first connect's 45 s are over, the second's are not";
    timers.advance(15s);
    EXPECT_TRUE(waitUntil([this] { return !container->menuBar().hasConnectedInputSource(); }));

    EXPECT_TRUE(connectAndWait(0s));
    api->succeed(FakeAuthAPI::Op::logout);
    runBlocking(auth->logout());
    ASSERT_TRUE(waitUntil([this] { return !container->historySyncEngine().isStarted(); }));
    EXPECT_FALSE(container->menuBar().hasConnectedInputSource());
}

} // namespace
} // namespace vellamor::test
