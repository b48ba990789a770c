#pragma once

#include "SettingsWindow/SettingsSection.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace vellamor {

struct SettingsPageContext;

// A setting's title over its one-line explanation.
struct SettingsRowText {
    QString title;
    QString subtitle;
};

// One setting the sidebar's search finds.
struct SettingsSearchRow {
    // What the search matches, besides the keywords.
    SettingsRowText text;
    QStringList keywords;
    // The text its page shows where the setting is.
    QString shown;
};

// A row found by the very texts its page shows.
inline SettingsSearchRow shownSearchRow(const SettingsRowText& text, QStringList keywords)
{
    return {text, std::move(keywords), text.title};
}

// One page of the settings window, as the window family that owns the page
// contributes it.
struct SettingsSectionDescriptor {
    SettingsSection section;
    // The name the tray and saved state use ("general", …).
    QString rawValue;
    // The sidebar's label, also matched by the search.
    QString label;
    // The symbol drawn beside the label.
    QString symbol;
    QList<SettingsSearchRow> searchRows;
    // A new page, given only what that page needs of `context`.
    std::function<QWidget*(const SettingsPageContext& context, QWidget* parent)> makePage;
};

// Every section, in sidebar order.
const QList<SettingsSectionDescriptor>& settingsSections();
const SettingsSectionDescriptor& settingsSection(SettingsSection section);

} // namespace vellamor
