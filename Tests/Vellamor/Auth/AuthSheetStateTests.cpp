#include "Auth/AuthSheetState.h"

#include <gtest/gtest.h>

using namespace vellamor;
using namespace Qt::StringLiterals;
using Tab = AuthSheetState::Tab;
using Step = AuthSheetState::Step;

namespace {

TEST(AuthSheetState, AddressCheckTrimsAndLooksAtTheFirstAt)
{
    const struct {
        QString email;
        bool valid;
    } cases[] = {
        {u"  a@b.cd \n"_s, true}, {u"ab.cd"_s, false},   {u"@b.cd"_s, false},  {u"a@b.c"_s, false},
        {u"a@bb.c"_s, true},      {u"a@b@c.d"_s, true},  {u"a@bcde"_s, false}, {u"a@\U0001F1E8\U0001F1F3.c"_s, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AuthSheetState::isValidEmail(c.email), c.valid) << c.email.toStdString();
}

TEST(AuthSheetState, CodeFilterKeepsDecimalDigitsAsAscii)
{
    const struct {
        QString typed;
        QString kept;
    } cases[] = {
        {u"12 34 56 78"_s, u"123456"_s},
        {u"1a2b3c"_s, u"123"_s},
        {u"１２３４５６"_s, u"123456"_s},
        {u"٤٥٦"_s, u"456"_s},
        {u"½²Ⅷ七3"_s, u"3"_s}, // numeric, but no decimal digit
        {u"\U0001D7CF\U0001D7D0"_s, u"12"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AuthSheetState::filterCode(c.typed), c.kept) << c.typed.toStdString();
}

TEST(AuthSheetState, PrimaryButtonFollowsTheRoadAndItsInput)
{
    const QString emoji = u"\U0001F44D\U0001F3FD"_s; // one character, four UTF-16 units
    const struct {
        Tab tab;
        Step step;
        QString email;
        QString password;
        QString code;
        bool enabled;
    } cases[] = {
        {Tab::password, Step::enterEmail, u"a@b.cd"_s, QString(7, u'x'), {}, false},
        {Tab::password, Step::enterEmail, u"a@b.cd"_s, QString(8, u'x'), {}, true},
        {Tab::password, Step::enterEmail, u"a@b.cd"_s, QString(128, u'x'), {}, true},
        {Tab::password, Step::enterEmail, u"a@b.cd"_s, QString(129, u'x'), {}, false},
        {Tab::password, Step::enterEmail, u"a@b.cd"_s, emoji.repeated(8), {}, true},
        {Tab::password, Step::enterEmail, u"ab.cd"_s, QString(8, u'x'), {}, false},
        {Tab::emailCode, Step::enterEmail, u"a@b.cd"_s, {}, {}, true},
        {Tab::emailCode, Step::enterCode, u"not an address"_s, {}, u"12345"_s, false},
        {Tab::emailCode, Step::enterCode, u"not an address"_s, {}, u"123456"_s, true},
    };
    for (const auto& c : cases) {
        AuthSheetState state;
        state.tab = c.tab;
        state.step = c.step;
        state.email = c.email;
        state.password = c.password;
        state.code = c.code;
        EXPECT_EQ(state.primaryEnabled(), c.enabled) << c.email.toStdString() << " " << c.password.size();
    }
}

TEST(AuthSheetState, TextsFollowTabStepPurposeAndBusy)
{
    const struct {
        Tab tab;
        Step step;
        QString purpose;
        bool busy;
        QString title;
        QString primary;
    } cases[] = {
        {Tab::emailCode, Step::enterEmail, {}, false, u"登录 Vellamor"_s, u"发送验证码"_s},
        {Tab::emailCode, Step::enterCode, u"register"_s, false, u"欢迎使用 Vellamor"_s, u"注册并登录"_s},
        {Tab::emailCode, Step::enterCode, u"login"_s, false, u"欢迎回来"_s, u"登录"_s},
        {Tab::emailCode, Step::enterCode, u"Register"_s, true, u"欢迎回来"_s, u"处理中…"_s},
        {Tab::password, Step::enterEmail, {}, false, u"用密码登录"_s, u"登录"_s},
    };
    for (const auto& c : cases) {
        AuthSheetState state;
        state.tab = c.tab;
        state.step = c.step;
        state.pendingPurpose = c.purpose;
        state.isBusy = c.busy;
        EXPECT_EQ(state.titleText(), c.title);
        EXPECT_EQ(state.primaryButtonTitle(), c.primary);
    }
}

} // namespace
