#include "SettingsWindow/SettingsPages.h"

#include "Auth/BackendPage.h"
#include "Diagnostics/AboutPage.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "SettingsWindow/AppearancePage.h"
#include "SettingsWindow/GeneralPage.h"
#include "SettingsWindow/HistoryDictionaryPage.h"
#include "SettingsWindow/RecognitionPage.h"
#include "SettingsWindow/RecordingPage.h"

namespace vellamor {

QWidget* makeSettingsPage(SettingsSection section, const SettingsPageContext& context, QWidget* parent)
{
    switch (section) {
    case SettingsSection::appearance:
        return new AppearancePage(context.theme, parent);
    case SettingsSection::backend:
        return new BackendPage(context.account, context.services, parent);
    case SettingsSection::general:
        return new GeneralPage(context, parent);
    case SettingsSection::recording:
        return new RecordingPage(context, parent);
    case SettingsSection::recognition:
        return new RecognitionPage(context, parent);
    case SettingsSection::historyDict:
        return new HistoryDictionaryPage(context, parent);
    case SettingsSection::diagnostics:
        return new DiagnosticsPage(context.diagnostics, parent);
    case SettingsSection::about:
        return new AboutPage(context.diagnostics.version, context.diagnostics.workspace, parent);
    }
    Q_UNREACHABLE();
    return nullptr;
}

} // namespace vellamor
