#include "SettingsWindow/SettingsPages.h"

#include "Auth/BackendPage.h"
#include "Diagnostics/AboutPage.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "SettingsWindow/AppearancePage.h"
#include "SettingsWindow/GeneralPage.h"
#include "SettingsWindow/HistoryDictionaryPage.h"
#include "SettingsWindow/RecognitionPage.h"
#include "SettingsWindow/RecordingPage.h"

#include "Windows/WindowServices.h"

namespace vellamor {

namespace {

template<typename Client>
std::shared_ptr<Client> build(const WindowServices::Factory<Client>& factory)
{
    return factory ? factory() : nullptr;
}

} // namespace

QWidget* makeSettingsPage(SettingsSection section, const SettingsPageContext& context, QWidget* parent)
{
    switch (section) {
    case SettingsSection::appearance:
        return new AppearancePage(context.theme, parent);
    case SettingsSection::backend:
        return new BackendPage(context.account, context.services, parent);
    case SettingsSection::general:
        return new GeneralPage(context.obs, context.hooks.launchAtLogin, parent);
    case SettingsSection::recording:
        return new RecordingPage(context.obs, context.hooks.soundServer, context.hooks.hotkeyRecording, parent);
    case SettingsSection::recognition:
        return new RecognitionPage(context.obs, context.hooks.auth, build(context.services.models), parent);
    case SettingsSection::historyDict:
        return new HistoryDictionaryPage({context.hooks.auth, context.hooks.historyStore, context.hooks.historySyncEngine,
                                          build(context.services.dataSync), build(context.services.serverPreferences)},
                                         context.hooks.showHistory, context.hooks.showDictionary, parent);
    case SettingsSection::diagnostics:
        return new DiagnosticsPage(context.diagnostics, parent);
    case SettingsSection::about:
        return new AboutPage(context.diagnostics.version, context.diagnostics.workspace, parent);
    }
    Q_UNREACHABLE();
    return nullptr;
}

} // namespace vellamor
