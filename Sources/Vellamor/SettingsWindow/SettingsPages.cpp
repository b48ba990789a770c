#include "SettingsWindow/SettingsPages.h"

#include "Auth/BackendPage.h"
#include "Diagnostics/AboutPage.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "SettingsWindow/AppearancePage.h"
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
    case SettingsSection::backend:
        return new BackendPage(context.account, context.services, parent);
    case SettingsSection::general:
    case SettingsSection::recording:
    case SettingsSection::recognition:
    case SettingsSection::historyDict:
        break;
    case SettingsSection::diagnostics:
        return new DiagnosticsPage(context.diagnostics, parent);
    case SettingsSection::about:
        return new AboutPage(context.diagnostics.version, context.diagnostics.workspace, parent);
    }
    return comingPage(section, parent);
}

} // namespace vellamor
