#include "SettingsWindow/SettingsPages.h"

#include "Diagnostics/AboutPage.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "SettingsWindow/AppearancePage.h"
#include "SettingsWindow/GeneralPage.h"
#include "SettingsWindow/HistoryDictionaryPage.h"
#include "SettingsWindow/RecognitionPage.h"
#include "SettingsWindow/RecordingPage.h"
#include "Windows/SectionHeader.h"

#include <QVBoxLayout>

namespace vellamor {

namespace {

// A section whose page is still being built: its title and a word on it.
QWidget* comingPage(SettingsSection section, QWidget* parent)
{
    auto* page = new QWidget(parent);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new SectionHeader(sidebarLabel(section), QStringLiteral("即将推出"), page));
    layout->addStretch();
    return page;
}

} // namespace

QWidget* makeSettingsPage(SettingsSection section, const SettingsPageContext& context, QWidget* parent)
{
    switch (section) {
    case SettingsSection::appearance:
        return new AppearancePage(context.theme, parent);
    case SettingsSection::general:
        return new GeneralPage(context, parent);
    case SettingsSection::recording:
        return new RecordingPage(context, parent);
    case SettingsSection::recognition:
        return new RecognitionPage(context, parent);
    case SettingsSection::historyDict:
        return new HistoryDictionaryPage(context, parent);
    case SettingsSection::backend:
        break;
    case SettingsSection::diagnostics:
        return new DiagnosticsPage(context.diagnostics, parent);
    case SettingsSection::about:
        return new AboutPage(context.diagnostics.version, context.diagnostics.workspace, parent);
    }
    return comingPage(section, parent);
}

} // namespace vellamor
