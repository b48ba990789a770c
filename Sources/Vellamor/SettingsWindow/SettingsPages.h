#pragma once

#include "SettingsWindow/SettingsSection.h"

class QWidget;

namespace vellamor {

class SettingsStoreObservable;
class ThemeManager;
struct AccountServices;
struct DiagnosticsServices;
struct WindowServices;

// What the pages of the settings window are built from.
struct SettingsPageContext {
    SettingsStoreObservable& obs;
    ThemeManager& theme;
    const WindowServices& services;
    const DiagnosticsServices& diagnostics;
    const AccountServices& account;
};

// A new page for `section`; it fetches what it shows as it is built.
QWidget* makeSettingsPage(SettingsSection section, const SettingsPageContext& context, QWidget* parent);

} // namespace vellamor
