#include "AccountWindows/AccountSettingsSection.h"

#include "AccountWindows/AccountTexts.h"
#include "AccountWindows/BackendPage.h"
#include "SettingsWindow/SettingsPages.h"

namespace vellamor {

SettingsSectionDescriptor accountSettingsSection()
{
    return { SettingsSection::backend, QStringLiteral("backend"), AccountTexts::header.title,
        QStringLiteral("person.crop.circle"),
        { shownSearchRow(AccountTexts::header,
            { QStringLiteral("account"), QStringLiteral("login"), QStringLiteral("登录"), QStringLiteral("同步"),
                QStringLiteral("sync"), QStringLiteral("多端") }) },
        [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
            return new BackendPage(context.account, context.services, parent);
        } };
}

} // namespace vellamor
