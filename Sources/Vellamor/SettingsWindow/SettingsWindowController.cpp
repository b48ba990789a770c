#include "SettingsWindow/SettingsWindowController.h"

namespace vellamor {

SettingsWindowController::SettingsWindowController(std::shared_ptr<SettingsStore> store)
    : store_(std::move(store))
    , window_(QStringLiteral("Vellamor 设置"), QString())
{
}

void SettingsWindowController::show(std::optional<SettingsSection> section)
{
    if (section)
        selection = *section;
    window_.setText(QStringLiteral("设置页面尚未完成：") + rawValue(selection.value()));
    window_.present();
}

} // namespace vellamor
