#include "App/WindowsHub.h"

#include "AccountWindows/AuthSheet.h"
#include "Platform/LoginItem/LaunchAtLogin.h"

#include <utility>

namespace vellamor {

WindowsHub::WindowsHub(Dependencies d)
    : signInSheet_(std::make_unique<AuthSheetPresenter>(d.services.authAPI(), d.auth, d.sleep))
{
    settings_ = std::make_unique<SettingsWindowController>(SettingsWindowController::Dependencies{
        d.settings, d.theme, d.locale, d.services, d.defaults, d.sleep, d.diagnostics, pageHooks(d),
        AccountServices{d.auth, signInSheet_.get(), d.defaults, d.inputSourcesChanged}});
    pairing_ = std::make_unique<PairingConfirmController>(d.services.inputSources, d.sleep);
    history_ = std::make_unique<HistoryWindowController>(HistoryWindowController::Services{
        .layered = d.inserter,
        .isAccessibilityTrusted = d.isAccessibilityTrusted,
        .auth = d.auth->publisher(),
        .globalInput = d.globalInput,
        .sleep = d.sleep,
    });
    dictionary_ = std::make_unique<DictionaryWindowController>(DictionaryWindowController::Dependencies{
        d.services, d.auth->publisher(), d.sleep,
        [this](QWidget* parent, std::function<void()> closed) { presentSignIn(parent, std::move(closed)); }});
    history_->presentSignIn = [this](std::function<void()> dismissed) {
        presentSignIn(nullptr, std::move(dismissed));
    };
}

WindowsHub::~WindowsHub()
{
    // A page that is recording a hotkey gives the hotkey back as it goes,
    // while everything it reaches is still here.
    settings_.reset();
}

SettingsPageHooks WindowsHub::pageHooks(const Dependencies& d)
{
    SettingsPageHooks hooks;
    hooks.auth = d.auth->publisher();
    hooks.soundServer = d.soundServer;
    hooks.launchAtLogin = std::make_shared<LaunchAtLogin>(LaunchAtLogin::standard(d.environment));
    hooks.hotkeyRecording = d.hotkeyRecording;
    hooks.showHistory = [this] { history_->show(); };
    hooks.showDictionary = [this] { dictionary_->show(); };
    hooks.historyStore = [this] { return history_->store(); };
    hooks.historySyncEngine = [this] { return history_->syncEngine(); };
    return hooks;
}

void WindowsHub::presentSignIn(QWidget* over, std::function<void()> closed)
{
    AuthSheet* sheet = signInSheet_->present(over);
    QObject::connect(sheet, &QDialog::finished, sheet, [closed = std::move(closed)] {
        if (closed)
            closed();
    });
}

} // namespace vellamor
