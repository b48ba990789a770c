#include "SettingsWindow/AppearancePage.h"

#include "SettingsWindow/IslandPreview.h"
#include "SettingsWindow/SettingsTexts.h"
#include "SettingsWindow/ThemeManager.h"
#include "Windows/CardGroup.h"
#include "Windows/SectionHeader.h"
#include "Windows/SettingsRow.h"
#include "Windows/WindowTheme.h"

#include <QComboBox>
#include <QVBoxLayout>

namespace vellamor {

AppearancePage::AppearancePage(ThemeManager& theme, QWidget* parent)
    : QWidget(parent)
    , picker_(new QComboBox(this))
{
    theme.apply();

    for (const ThemeMode mode : allThemeModes)
        picker_->addItem(pickerLabel(mode));
    picker_->setFixedWidth(130);
    picker_->setFont(WindowTheme::font(13));
    // Only the user's choice writes: the picker follows the manager silently.
    connect(picker_, &QComboBox::activated, this,
            [&theme](int index) { theme.setMode(allThemeModes.at(static_cast<std::size_t>(index))); });
    modeSubscription_ = theme.subscribe([this](ThemeMode mode) { picker_->setCurrentIndex(static_cast<int>(mode)); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addWidget(new SectionHeader(SettingsTexts::appearanceTitle, QStringLiteral("主题与灵动岛位置"), this));
    auto* themeCard = new CardGroup(QStringLiteral("主题"), this);
    themeCard->addWidget(new SettingsRow(SettingsTexts::theme.title, SettingsTexts::theme.subtitle, picker_, this));
    layout->addWidget(themeCard);
    auto* islandCard = new CardGroup(SettingsTexts::islandPosition.title, this);
    islandCard->addWidget(new IslandPreview(this));
    layout->addWidget(islandCard);
    layout->addStretch();
}

} // namespace vellamor
