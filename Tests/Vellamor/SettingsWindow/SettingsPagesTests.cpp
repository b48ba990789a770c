#include "FakeAuthAPI.h"
#include "FakeDataSyncAPI.h"
#include "FakeModelAPI.h"
#include "FakePreferencesAPI.h"
#include "FakeSoundServer.h"
#include "InMemorySecureItemStore.h"
#include "WaitUntil.h"
#include "WidgetRendering.h"

#include "AccountWindows/AccountServices.h"
#include "Auth/AuthSession.h"
#include "Auth/KeychainStore.h"
#include "Diagnostics/DiagnosticsServices.h"
#include "History/HistorySyncEngine.h"
#include "History/LocalHistoryStore.h"
#include "Hotkey/HotkeyCombo.h"
#include "Models/VellamorServiceError.h"
#include "Platform/LoginItem/LaunchAtLogin.h"
#include "SettingsWindow/ErrorText.h"
#include "SettingsWindow/GeneralPage.h"
#include "SettingsWindow/HistoryDictionaryPage.h"
#include "SettingsWindow/HotkeyRecorder.h"
#include "SettingsWindow/RecognitionPage.h"
#include "SettingsWindow/RecordingPage.h"
#include "SettingsWindow/RefreshButton.h"
#include "SettingsWindow/SettingsPages.h"
#include "SettingsWindow/SettingsSearchIndex.h"
#include "SettingsWindow/SettingsStoreObservable.h"
#include "SettingsWindow/SettingsTexts.h"
#include "SettingsWindow/ThemeManager.h"
#include "Support/Async/RunBlocking.h"
#include "Windows/SettingsRow.h"
#include "Windows/ToggleSwitch.h"
#include "Windows/WindowServices.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

class SettingsPagesTest : public ::testing::Test {
protected:
    SettingsPagesTest()
    {
        services.models = [this] { return models; };
        services.serverPreferences = [this] { return serverPreferences; };
        services.dataSync = [this] { return dataSync; };
        hooks.auth = auth->publisher();
        hooks.soundServer = sound;
        hooks.launchAtLogin = launchAtLogin;
        hooks.hotkeyRecording = [this](bool recording) { recordingCalls.append(recording); };
        hooks.showHistory = [this] { opened.append(QStringLiteral("history")); };
        hooks.showDictionary = [this] { opened.append(QStringLiteral("dictionary")); };
        hooks.historyStore = [this] { return historyStore; };
        hooks.historySyncEngine = [this] { return engine.get(); };
    }

    ~SettingsPagesTest() override
    {
        page.reset();
        runEventLoopFor(20ms);
    }

    template<typename Page>
    static constexpr SettingsSection sectionOf()
    {
        if constexpr (std::is_same_v<Page, GeneralPage>)
            return SettingsSection::general;
        else if constexpr (std::is_same_v<Page, RecordingPage>)
            return SettingsSection::recording;
        else if constexpr (std::is_same_v<Page, RecognitionPage>)
            return SettingsSection::recognition;
        else
            return SettingsSection::historyDict;
    }

    // Built as the window builds it, from its section.
    template<typename Page>
    Page& show()
    {
        page.reset();
        page.reset(makeSettingsPage(sectionOf<Page>(),
                                    SettingsPageContext{*obs, theme, services, diagnostics, hooks, account}, nullptr));
        Page& shown = dynamic_cast<Page&>(*page);
        page->resize(620, 760);
        page->show();
        return shown;
    }

    void signIn()
    {
        const AuthMe me { 7, QStringLiteral("u7@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
            std::nullopt };
        authAPI->succeed(FakeAuthAPI::Op::login,
            AuthAPIProtocol::SignIn {
                { QStringLiteral("at"), QStringLiteral("rt"), Date::fromUnixSeconds(4'000'000'000) }, me });
        runBlocking(auth->loginWithPassword(me.email, QStringLiteral("password")));
    }

    void signOut()
    {
        authAPI->succeed(FakeAuthAPI::Op::logout);
        runBlocking(auth->logout());
    }

    Preferences stored() const { return store->current(); }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<SettingsStore> store = std::make_shared<SettingsStore>(defaults, SettingsStore::standardKey());
    std::unique_ptr<SettingsStoreObservable> obs = std::make_unique<SettingsStoreObservable>(store);
    ThemeManager theme{defaults, nullptr};
    std::shared_ptr<FakeAuthAPI> authAPI = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<InMemorySecureItemStore> keyring = std::make_shared<InMemorySecureItemStore>();
    std::shared_ptr<AuthSession> auth = std::make_shared<AuthSession>(authAPI,
        std::make_shared<KeychainStore>(keyring, QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session")),
        VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now, defaults);
    std::shared_ptr<FakeModelAPI> models = std::make_shared<FakeModelAPI>();
    std::shared_ptr<FakePreferencesAPI> serverPreferences = std::make_shared<FakePreferencesAPI>();
    std::shared_ptr<FakeDataSyncAPI> dataSync = std::make_shared<FakeDataSyncAPI>();
    std::shared_ptr<FakeSoundServer> sound = std::make_shared<FakeSoundServer>();
    std::shared_ptr<LaunchAtLogin> launchAtLogin
        = std::make_shared<LaunchAtLogin>(folder.filePath(QStringLiteral("config/autostart/com.vellamor.app.desktop")),
            QStringLiteral(":/desktop/com.vellamor.app.desktop"));
    std::shared_ptr<LocalHistoryStore> historyStore = LocalHistoryStore::anonymous(
        std::make_shared<HistoryChangeBroadcaster>(), folder.filePath(QStringLiteral("h")));
    std::unique_ptr<HistorySyncEngine> engine = std::make_unique<HistorySyncEngine>(
        dataSync, historyStore, std::make_shared<HistorySyncObserver>());
    WindowServices services;
    DiagnosticsServices diagnostics;
    SettingsPageHooks hooks;
    AccountServices account;
    QList<bool> recordingCalls;
    QStringList opened;
    std::unique_ptr<QWidget> page;
};

// MARK: Hotkey recorder

// One key as the window system delivers it: X11 key codes are 8 above the kernel's.
bool key(QEvent::Type type, int linuxCode, QWidget& target, bool repeated = false)
{
    QKeyEvent event(type, Qt::Key_unknown, Qt::NoModifier, static_cast<quint32>(linuxCode + 8), 0, 0, QString(),
                    repeated);
    return QApplication::sendEvent(&target, &event);
}

struct Stroke {
    bool down;
    int code;
    // The window system repeats a held key as a release and a press.
    bool repeated = false;
};

TEST_F(SettingsPagesTest, RecorderTurnsKeysByPositionIntoTheStoredCombination)
{
    struct Case {
        const char* name;
        std::vector<Stroke> strokes;
        std::optional<QString> stored;
        bool stillRecording;
        std::optional<QString> hint;
    };
    const QString fnHint = HotkeyRecorder::fnHint();
    const std::vector<Case> cases {
        { "a key alone asks for a modifier", { { true, KEY_A } }, std::nullopt, true, HotkeyRecorder::modifierHint() },
        { "super shift a", { { true, KEY_LEFTMETA }, { true, KEY_LEFTSHIFT }, { true, KEY_A } },
            QStringLiteral("cmd+shift+a"), false, {} },
        { "a key outside the table", { { true, KEY_LEFTMETA }, { true, KEY_F13 } }, {}, true,
            HotkeyRecorder::unsupportedHint() },
        { "escape alone cancels", { { true, KEY_ESC } }, std::nullopt, false, {} },
        { "super escape is a combination", { { true, KEY_LEFTMETA }, { true, KEY_ESC } }, QStringLiteral("cmd+escape"),
            false, {} },
        { "right ctrl alone", { { true, KEY_RIGHTCTRL }, { false, KEY_RIGHTCTRL } }, QStringLiteral("fn"), false, {} },
        { "right ctrl with a key", { { true, KEY_RIGHTCTRL }, { true, KEY_F5 } }, QStringLiteral("fn+f5"), false, {} },
        { "right ctrl then super, released",
            { { true, KEY_RIGHTCTRL }, { true, KEY_LEFTMETA }, { false, KEY_RIGHTCTRL }, { false, KEY_LEFTMETA } },
            std::nullopt, true, fnHint },
        { "right ctrl held alone", { { true, KEY_RIGHTCTRL } }, std::nullopt, true, fnHint },
        { "right ctrl held while it repeats",
            { { true, KEY_RIGHTCTRL }, { false, KEY_RIGHTCTRL, true }, { true, KEY_RIGHTCTRL, true } }, std::nullopt,
            true, fnHint },
        { "right ctrl with shift let go first",
            { { true, KEY_RIGHTCTRL }, { true, KEY_LEFTSHIFT }, { false, KEY_LEFTSHIFT }, { false, KEY_RIGHTCTRL } },
            std::nullopt, true, fnHint },
        { "alt ctrl space in any order", { { true, KEY_LEFTALT }, { true, KEY_LEFTCTRL }, { true, KEY_SPACE } },
            QStringLiteral("option+control+space"), false, {} },
        { "left ctrl is not fn", { { true, KEY_LEFTCTRL }, { false, KEY_LEFTCTRL } }, std::nullopt, true,
            HotkeyRecorder::startHint() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        obs->customHotkey.set(noText());
        RecordingPage& shown = show<RecordingPage>();
        HotkeyRecorder& recorder = shown.recorder();
        recorder.recordButton().click();
        ASSERT_TRUE(recorder.isRecording());
        for (const Stroke& stroke : c.strokes)
            EXPECT_TRUE(key(stroke.down ? QEvent::KeyPress : QEvent::KeyRelease, stroke.code, recorder.cancelButton(),
                            stroke.repeated));
        EXPECT_EQ(stored().customHotkey, c.stored);
        EXPECT_EQ(recorder.isRecording(), c.stillRecording);
        EXPECT_EQ(recorder.hint(), c.stillRecording ? c.hint : std::nullopt);
        recorder.stopRecording();
    }
}

TEST_F(SettingsPagesTest, RecorderClaimsShortcutsAndHandsTheHotkeyBackHoweverItEnds)
{
    RecordingPage& shown = show<RecordingPage>();
    HotkeyRecorder& recorder = shown.recorder();
    recorder.recordButton().click();
    recorder.startRecording();
    EXPECT_EQ(recordingCalls, QList<bool>{true});
    renderView(shown, QStringLiteral("settings-recording-hotkey"));
    // Ctrl+F goes to the recorder, not to a shortcut.
    key(QEvent::KeyPress, KEY_LEFTCTRL, recorder);
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_F, Qt::ControlModifier, KEY_F + 8, 0, 0);
    override.ignore();
    EXPECT_TRUE(QApplication::sendEvent(&recorder, &override));
    EXPECT_TRUE(override.isAccepted());
    key(QEvent::KeyPress, KEY_F, recorder);
    EXPECT_EQ(stored().customHotkey, QStringLiteral("control+f"));
    EXPECT_EQ(recordingCalls, (QList<bool>{true, false}));
    EXPECT_EQ(shownTexts(recorder, standardText),
        (QStringList {
            QStringLiteral("Ctrl"), QStringLiteral("F"), QStringLiteral("录制"), QStringLiteral("恢复默认") }));

    // The time-out, leaving the screen and the cancel button end it too.
    HotkeyRecorder timed(obs->customHotkey, 30ms, hooks.hotkeyRecording);
    timed.show();
    timed.startRecording();
    EXPECT_TRUE(waitUntil([&] { return !timed.isRecording(); }));
    timed.startRecording();
    timed.hide();
    EXPECT_FALSE(timed.isRecording());
    timed.show();
    timed.startRecording();
    timed.cancelButton().click();
    EXPECT_FALSE(timed.isRecording());
    EXPECT_EQ(recordingCalls, (QList<bool>{true, false, true, false, true, false, true, false}));
    EXPECT_EQ(stored().customHotkey, QStringLiteral("control+f"));
    // Nothing is read once it stopped.
    key(QEvent::KeyPress, KEY_LEFTALT, timed);
    key(QEvent::KeyPress, KEY_A, timed);
    EXPECT_EQ(stored().customHotkey, QStringLiteral("control+f"));

    timed.resetButton().click();
    EXPECT_EQ(stored().customHotkey, std::nullopt);
    EXPECT_EVENTUALLY_EQ(
        shownTexts(timed, standardText), (QStringList { QStringLiteral("右 Ctrl"), QStringLiteral("录制") }));
    obs->customHotkey.set(QString());
    EXPECT_EVENTUALLY_EQ(shownTexts(timed, standardText),
        (QStringList { QStringLiteral("右 Ctrl"), QStringLiteral("录制"), QStringLiteral("恢复默认") }));
}

// The row shows the key the hotkey really listens to, and says why a stored
// text was set aside for it.
TEST_F(SettingsPagesTest, HotkeyRowShowsTheKeyListenedToAndWhyAStoredOneWasSetAside)
{
    RecordingPage& shown = show<RecordingPage>();
    HotkeyRecorder& recorder = shown.recorder();
    SettingsRow* row = nullptr;
    for (QWidget* widget = &recorder; widget && !row; widget = widget->parentWidget())
        row = qobject_cast<SettingsRow*>(widget);
    ASSERT_NE(row, nullptr);
    const QString usual = RecordingPage::hotkeySubtitle();
    const struct {
        QString stored;
        QStringList caps;
        QString subtitle;
    } cases[] = {
        { QStringLiteral("control+shift+f99"), { QStringLiteral("右 Ctrl") },
            QStringLiteral("已保存的快捷键 Ctrl+Shift+F99 用到了此键盘上没有的按键，现在使用右 Ctrl") },
        { QStringLiteral("k"), { QStringLiteral("右 Ctrl") },
            QStringLiteral("已保存的快捷键 K 没有修饰键，会挡住正常打字，现在使用右 Ctrl") },
        { QStringLiteral("control+shift"), { QStringLiteral("右 Ctrl") },
            QStringLiteral("已保存的快捷键 Ctrl+Shift 不是有效的组合，现在使用右 Ctrl") },
        { QStringLiteral("control+shift+k"), { QStringLiteral("Ctrl"), QStringLiteral("Shift"), QStringLiteral("K") },
            usual },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        obs->customHotkey.set(c.stored);
        const QStringList caps = c.caps + QStringList { QStringLiteral("录制"), QStringLiteral("恢复默认") };
        EXPECT_EVENTUALLY_EQ(shownTexts(recorder, standardText), caps);
        EXPECT_EQ(row->subtitle(), c.subtitle);
        renderView(*row, QStringLiteral("settings-hotkey-row-") + QString(c.stored).replace(u'+', u'-'));
    }
}

// Every text that names the held key names it as the keyboard labels it.
TEST_F(SettingsPagesTest, EveryTextNamesTheHeldKeyOfThisDesktop)
{
    QString searchSubtitle;
    for (const SettingsSearchEntry& entry : SettingsSearchIndex::entries()) {
        if (entry.title == SettingsTexts::hotkey)
            searchSubtitle = entry.subtitle.value_or(QString());
    }
    RecordingPage& shown = show<RecordingPage>();
    const std::pair<QString, QString> places[] = {
        { HotkeyRecorder::modifierHint(), QStringLiteral("至少需要一个修饰键（Ctrl/Alt/Shift/Super/右 Ctrl）") },
        { HotkeyRecorder::fnHint(), QStringLiteral("右 Ctrl — 松开以确认 / 继续按主键组合") },
        { RecordingPage::hotkeySubtitle(), QStringLiteral("点击「录制」按下新组合键，单按右 Ctrl 也可作为热键") },
        { searchSubtitle, QStringLiteral("点击「录制」按下新组合键，单按右 Ctrl 也可作为热键") },
        { HotkeyCombo::displayKeycaps(QStringLiteral("fn")).join(u' '), QStringLiteral("右 Ctrl") },
        { shownTexts(shown.recorder(), standardText).join(u' '), QStringLiteral("右 Ctrl 录制") },
    };
    for (const auto& [text, expected] : places)
        EXPECT_EQ(text, expected);
}

// MARK: Recording page

platform::SoundServerSnapshot twoMicrophones()
{
    platform::SoundServerSnapshot snapshot = FakeSoundServer::oneMicrophone();
    snapshot.sources.append(
        platform::SoundSource { 3, QStringLiteral("usb"), QStringLiteral("USB Mic"), false, 1, 48000 });
    return snapshot;
}

TEST_F(SettingsPagesTest, RecordingPageWritesTheModeAndTheMicrophoneItShows)
{
    sound->answer = twoMicrophones();
    obs->hotkeyMode.set(QStringLiteral("sometimes"));
    RecordingPage& shown = show<RecordingPage>();
    renderView(shown, QStringLiteral("settings-recording"));
    EXPECT_FALSE(shown.modeDots()[0]->isChecked());
    EXPECT_FALSE(shown.modeDots()[1]->isChecked());
    shown.modeDots()[1]->click();
    EXPECT_EQ(stored().hotkeyMode, QStringLiteral("toggle"));
    EXPECT_TRUE(shown.modeDots()[1]->isChecked());
    EXPECT_FALSE(shown.modeDots()[0]->isChecked());

    QComboBox& picker = shown.microphonePicker();
    QStringList labels;
    for (int i = 0; i < picker.count(); ++i)
        labels.append(picker.itemText(i));
    EXPECT_EQ(labels,
        (QStringList {
            QStringLiteral("系统默认"), QStringLiteral("Microphone（当前默认）"), QStringLiteral("USB Mic") }));
    EXPECT_EQ(picker.currentIndex(), 0);
    EXPECT_EQ(shown.microphoneRow().subtitle(), QStringLiteral("跟随系统当前默认输入设备；不会改系统音量"));

    picker.activated(2);
    EXPECT_EQ(stored().selectedMicrophoneUID, QStringLiteral("usb"));
    EXPECT_EQ(shown.microphoneRow().subtitle(), QStringLiteral("已保存选择；不会改系统音量"));
    picker.activated(0);
    EXPECT_EQ(stored().selectedMicrophoneUID, std::nullopt);

    // Unplugged: kept, no entry; back after a refresh.
    obs->selectedMicrophoneUID.set(QStringLiteral("usb"));
    sound->answer = FakeSoundServer::oneMicrophone();
    shown.refreshButton().click();
    EXPECT_EVENTUALLY_EQ(picker.currentIndex(), -1);
    EXPECT_EVENTUALLY_EQ(shown.microphoneRow().subtitle(), QStringLiteral("已保存的麦克风当前不可用，会暂时跟随系统默认输入"));
    EXPECT_EQ(stored().selectedMicrophoneUID, QStringLiteral("usb"));
    sound->answer = twoMicrophones();
    shown.refreshButton().click();
    EXPECT_EVENTUALLY_EQ(picker.currentText(), QStringLiteral("USB Mic"));

    // An empty saved id is the system default, in the picker too.
    obs->selectedMicrophoneUID.set(QString());
    EXPECT_EQ(picker.currentIndex(), 0);
    EXPECT_EQ(shown.microphoneRow().subtitle(), QStringLiteral("跟随系统当前默认输入设备；不会改系统音量"));
}

// MARK: General page

class UnadoptedLaunchAtLogin final : public LaunchAtLogin {
public:
    using LaunchAtLogin::LaunchAtLogin;
    void setEnabled(bool) override {}
};

TEST_F(SettingsPagesTest, GeneralPageWritesTheAutostartEntryAndSaysWhyItCouldNot)
{
    GeneralPage& shown = show<GeneralPage>();
    renderView(shown, QStringLiteral("settings-general"));
    shown.languagePicker().activated(2);
    EXPECT_EQ(stored().language, QStringLiteral("en"));
    shown.polishSwitch().click();
    EXPECT_EQ(stored().enableLLMPolish, !Preferences().enableLLMPolish);

    const QString entry = launchAtLogin->autostartEntry();
    EXPECT_FALSE(shown.launchSwitch().isChecked());
    shown.launchSwitch().click();
    EXPECT_TRUE(shown.launchSwitch().isChecked());
    ASSERT_TRUE(QFile::exists(entry));
    EXPECT_EQ(QProcess::execute(QStringLiteral("desktop-file-validate"), { entry }), 0);
    EXPECT_EQ(shown.launchErrorMessage(), std::nullopt);
    shown.launchSwitch().click();
    EXPECT_FALSE(QFile::exists(entry));

    // Hidden by the desktop counts as off, and the page follows it on show.
    shown.launchSwitch().click();
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("Hidden=true\n");
    file.close();
    shown.hide();
    shown.show();
    EXPECT_FALSE(shown.launchSwitch().isChecked());

    // A folder where the entry goes: the file named in the user's language.
    QFile::remove(entry);
    ASSERT_TRUE(QDir().mkpath(entry));
    shown.launchSwitch().click();
    EXPECT_FALSE(shown.launchSwitch().isChecked());
    EXPECT_EQ(shown.launchErrorMessage(), QStringLiteral("未能更新登录项：无法写入文件 ") + entry);
    renderView(shown, QStringLiteral("settings-general-error"));
    QDir(entry).removeRecursively();

    hooks.launchAtLogin
        = std::make_shared<UnadoptedLaunchAtLogin>(entry, QStringLiteral(":/desktop/com.vellamor.app.desktop"));
    GeneralPage& unadopted = show<GeneralPage>();
    unadopted.launchSwitch().click();
    EXPECT_FALSE(unadopted.launchSwitch().isChecked());
    EXPECT_EQ(unadopted.launchErrorMessage(), GeneralPage::notAdoptedMessage());
    // Turned on outside meanwhile: the page follows and drops the message.
    launchAtLogin->setEnabled(true);
    unadopted.hide();
    unadopted.show();
    EXPECT_TRUE(unadopted.launchSwitch().isChecked());
    EXPECT_EQ(unadopted.launchErrorMessage(), std::nullopt);
}

// MARK: Recognition page

TEST_F(SettingsPagesTest, RecognitionPageKeepsTheSavedModelUnlessAFetchSaysItIsGone)
{
    models->models = { { QStringLiteral("alpha"), QStringLiteral("gpt-x"), true },
        { QStringLiteral("beta"), QStringLiteral(""), false }, { QStringLiteral("gamma"), std::nullopt, true } };
    obs->selectedLLMProviderName.set(QStringLiteral("beta"));

    RecognitionPage& signedOut = show<RecognitionPage>();
    EXPECT_EQ(models->calls, 0);
    EXPECT_EVENTUALLY_EQ(signedOut.modelRow().subtitle(), QStringLiteral("登录后可选择后端已配置模型"));
    EXPECT_FALSE(signedOut.modelPicker().isEnabled());
    EXPECT_FALSE(signedOut.refreshButton().isEnabled());

    signIn();
    EXPECT_EVENTUALLY_EQ(models->calls, 1);
    RecognitionPage& shown = show<RecognitionPage>();
    EXPECT_EVENTUALLY_EQ(models->calls, 2);
    const auto labels = [&shown] {
        QStringList shownLabels;
        for (int i = 0; i < shown.modelPicker().count(); ++i)
            shownLabels.append(shown.modelPicker().itemText(i));
        return shownLabels;
    };
    EXPECT_EVENTUALLY_EQ(labels(),
        (QStringList { QStringLiteral("后端默认"), QStringLiteral("alpha · 默认 · gpt-x"), QStringLiteral("beta"),
            QStringLiteral("gamma · 默认") }));
    EXPECT_EVENTUALLY_EQ(shown.modelRow().subtitle(), QStringLiteral("当前选择 beta"));
    EXPECT_TRUE(shown.modelPicker().isEnabled());
    EXPECT_EQ(shown.outputPills(), (QStringList { QStringLiteral("优先润色"), QStringLiteral("已启用") }));
    renderView(shown, QStringLiteral("settings-recognition"));

    shown.modelPicker().activated(0);
    EXPECT_EQ(stored().selectedLLMProviderName, std::nullopt);
    EXPECT_EVENTUALLY_EQ(shown.modelRow().subtitle(), QStringLiteral("使用后端默认选择"));
    shown.scenePicker().activated(3);
    shown.stylePicker().activated(1);
    shown.sceneAutoDetectSwitch().click();
    EXPECT_EQ(stored().scene, QStringLiteral("code"));
    EXPECT_EQ(stored().style, QStringLiteral("formal"));
    EXPECT_EQ(stored().sceneAutoDetect, !Preferences().sceneAutoDetect);

    // Failures empty the list but keep the choice; so does signing out.
    obs->selectedLLMProviderName.set(QStringLiteral("beta"));
    struct Failure {
        std::exception_ptr error;
        QString text;
    };
    for (const Failure& failure : { Failure { std::make_exception_ptr(VellamorServiceError(40100, QStringLiteral("x"))),
                                        QStringLiteral("登录后可选择后端已配置模型") },
             Failure { std::make_exception_ptr(VellamorServiceError(40101, QStringLiteral("x"))),
                 QStringLiteral("模型列表加载失败") },
             Failure { std::make_exception_ptr(std::runtime_error("offline")), QStringLiteral("模型列表加载失败") } }) {
        models->failure = failure.error;
        shown.refreshButton().click();
        EXPECT_EVENTUALLY_EQ(shown.modelRow().subtitle(), failure.text);
        EXPECT_EVENTUALLY_EQ(shown.modelPicker().isEnabled(), false);
        EXPECT_EQ(stored().selectedLLMProviderName, QStringLiteral("beta"));
    }
    signOut();
    EXPECT_EVENTUALLY_EQ(shown.modelStore().models.value().size(), 0);
    EXPECT_EQ(stored().selectedLLMProviderName, QStringLiteral("beta"));

    // A successful fetch without it drops it.
    models->failure = nullptr;
    models->models = { { QStringLiteral("alpha"), std::nullopt, false } };
    signIn();
    EXPECT_EVENTUALLY_EQ(stored().selectedLLMProviderName, std::nullopt);

    obs->enableLLMPolish.set(false);
    EXPECT_EVENTUALLY_EQ(shown.modelRow().subtitle(), QStringLiteral("自动润色关闭时不使用模型选择"));
    EXPECT_EVENTUALLY_EQ(shown.modelPicker().isEnabled(), false);
    EXPECT_EVENTUALLY_EQ(shown.outputPills(), (QStringList { QStringLiteral("原文"), QStringLiteral("已关闭") }));
}

// MARK: History and dictionary page

TEST_F(SettingsPagesTest, HistoryPageCountsAndSwitchesTheCloudSettingOneRequestAtATime)
{
    dataSync->dictionary = {DictEntry{}, DictEntry{}};
    runBlocking(historyStore->append(HistoryRecord(QUuid::createUuid(), QStringLiteral("hi"), std::nullopt,
        std::nullopt, std::nullopt, Date::now(), std::nullopt, std::nullopt, false, std::nullopt)));
    HistoryDictionaryPage& signedOut = show<HistoryDictionaryPage>();
    // The counts come from the store's thread and the dictionary's request.
    EXPECT_EVENTUALLY_EQ(shownTexts(signedOut, standardText),
        (QStringList { QStringLiteral("历史与词典"), QStringLiteral("查看过去的录音稿件，教 Vellamor 认识专有名词"),
            QStringLiteral("历史"), QStringLiteral("已保存 1 条"), QStringLiteral("打开历史记录"),
            QStringLiteral("支持搜索、复制、重新插入到当前光标处。"), QStringLiteral("同步历史到云端"),
            QStringLiteral("登录账号后可开启云端同步"), QStringLiteral("立即同步"), QStringLiteral("立即同步"),
            QStringLiteral("登录后可同步"), QStringLiteral("个人词典"), QStringLiteral("已收录 2 个词条"),
            QStringLiteral("打开词典"), QStringLiteral("把人名、品牌、缩写告诉 Vellamor，识别更准。") }));
    EXPECT_EQ(serverPreferences->reads, 0);
    EXPECT_FALSE(signedOut.syncSwitch().isEnabled());
    EXPECT_FALSE(signedOut.syncNowButton().isEnabled());
    signedOut.openHistoryButton().click();
    signedOut.openDictionaryButton().click();
    EXPECT_EQ(opened, (QStringList { QStringLiteral("history"), QStringLiteral("dictionary") }));

    signIn();
    HistoryDictionaryPage& shown = show<HistoryDictionaryPage>();
    renderView(shown, QStringLiteral("settings-history"));
    // Enabled once the server told the current setting.
    EXPECT_TRUE(waitUntil([&] { return shown.stats().canToggle.value() && shown.syncSwitch().isEnabled(); }));
    EXPECT_EQ(shown.stats().syncDescription(), QStringLiteral("历史仅保存在本设备，不会上传"));
    EXPECT_EQ(shown.stats().lastSyncDescription(), QStringLiteral("尚未同步"));

    // On: sent alone, the switch waits for the answer, then the engine may
    // sync and a sync runs.
    engine->setCloudSyncEnabled(false);
    engine->start();
    dataSync->calls.clear();
    serverPreferences->holdUpdates = Channel<bool>();
    shown.syncSwitch().click();
    ASSERT_TRUE(waitUntil([&] { return serverPreferences->updates.size() == 1; }));
    EXPECT_TRUE(shown.syncSwitch().isChecked());
    EXPECT_EVENTUALLY_EQ(shown.syncSwitch().isEnabled(), false);
    shown.syncSwitch().click();
    serverPreferences->holdUpdates->push(true);
    serverPreferences->holdUpdates.reset();
    EXPECT_TRUE(waitUntil([&] { return dataSync->calls.contains(QStringLiteral("sync 0")); }));
    EXPECT_EVENTUALLY_EQ(shown.syncSwitch().isEnabled(), true);
    EXPECT_TRUE(engine->isCloudSyncEnabled());
    ASSERT_EQ(serverPreferences->updates.size(), 1);
    EXPECT_EQ(serverPreferences->updates[0].historySync, true);
    EXPECT_EQ(serverPreferences->updates[0].defaultScene, std::nullopt);
    EXPECT_EQ(shown.stats().syncDescription(), QStringLiteral("新录音会在完成后同步到你的账号"));

    // A refusal puts the switch back and says why until the next showing.
    serverPreferences->failure = std::make_exception_ptr(VellamorServiceError(50000, QStringLiteral("busy")));
    shown.syncSwitch().click();
    EXPECT_TRUE(waitUntil([&] { return shown.stats().toggleError.value().has_value(); }));
    EXPECT_EVENTUALLY_EQ(shown.syncSwitch().isChecked(), true);
    EXPECT_TRUE(shown.stats().toggleError.value().value_or(QString()).startsWith(QStringLiteral("同步设置失败：")));
    EXPECT_TRUE(engine->isCloudSyncEnabled());
    serverPreferences->failure = nullptr;
    shown.hide();
    shown.show();
    EXPECT_EVENTUALLY_EQ(shown.stats().toggleError.value(), std::nullopt);
    EXPECT_TRUE(waitUntil([&] { return shown.stats().lastSyncDescription().startsWith(QStringLiteral("上次同步：")); }));
    engine->stop();
}

TEST_F(SettingsPagesTest, HistoryPageKeepsTheSwitchTheUserTurnedWhileALoadWasOut)
{
    signIn();
    // The load reads the setting off while the change to on is still out; the
    // switch is turned before or after the load starts, and the change is
    // answered before or after the load.
    for (const auto& [turnedFirst, changeAnsweredFirst] :
        { std::pair(true, true), std::pair(true, false), std::pair(false, true), std::pair(false, false) }) {
        const std::string order = std::string(turnedFirst ? "turned, load started" : "load started, turned")
            + (changeAnsweredFirst ? ", change answered first" : ", load answered first");
        serverPreferences->stored.historySync = false;
        dataSync->dictionary.clear();
        HistoryDictionaryPage& shown = show<HistoryDictionaryPage>();
        ASSERT_TRUE(waitUntil([&] { return shown.stats().canToggle.value() && shown.syncSwitch().isEnabled(); }))
            << order;
        dataSync->dictionary = { DictEntry {} };
        serverPreferences->holdReads = Channel<bool>();
        serverPreferences->holdUpdates = Channel<bool>();
        const int reads = serverPreferences->reads;
        const qsizetype updates = serverPreferences->updates.size();
        const auto turnOn = [&] {
            shown.syncSwitch().click();
            ASSERT_TRUE(waitUntil([&] { return serverPreferences->updates.size() == updates + 1; })) << order;
        };
        const auto answerChange = [&] {
            serverPreferences->holdUpdates->push(true);
            ASSERT_TRUE(waitUntil([&] { return !shown.stats().updating.value(); })) << order;
        };
        if (turnedFirst)
            turnOn();
        shown.hide();
        shown.show();
        ASSERT_TRUE(waitUntil([&] { return serverPreferences->reads == reads + 1; })) << order;
        if (!turnedFirst)
            turnOn();
        if (changeAnsweredFirst)
            answerChange();
        serverPreferences->holdReads->push(true);
        ASSERT_TRUE(waitUntil([&] { return shown.stats().dictCount.value() == 1; })) << order;
        if (!changeAnsweredFirst)
            answerChange();
        EXPECT_TRUE(shown.stats().historySyncEnabled.value()) << order;
        EXPECT_TRUE(serverPreferences->stored.historySync) << order;
        serverPreferences->holdReads.reset();
        serverPreferences->holdUpdates.reset();
    }
}

TEST(LastSyncTimeFormat, IsMonthDayHourMinuteTwoDigitsEach)
{
    const QDateTime time(QDate(2026, 3, 5), QTime(9, 7));
    EXPECT_EQ(
        QLocale(QStringLiteral("zh_CN")).toString(time, QStringLiteral("MM-dd HH:mm")), QStringLiteral("03-05 09:07"));
}

} // namespace
} // namespace vellamor::test
