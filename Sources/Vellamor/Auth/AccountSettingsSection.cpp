#include "Auth/AccountSettingsSection.h"

#include "Auth/AccountTexts.h"
#include "Auth/BackendPage.h"
#include "SettingsWindow/SettingsPages.h"

namespace vellamor {

using namespace Qt::StringLiterals;

SettingsSectionDescriptor accountSettingsSection()
{
    return {SettingsSection::backend,
            u"backend"_s,
            AccountTexts::header.title,
            u"person.crop.circle"_s,
            {shownSearchRow(AccountTexts::header,
                            {u"account"_s, u"login"_s, u"登录"_s, u"同步"_s, u"sync"_s, u"多端"_s})},
            [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
                return new BackendPage(context.account, context.services, parent);
            }};
}

} // namespace vellamor
