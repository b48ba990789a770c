#include "AccountWindows/AuthSheetState.h"

#include <gtest/gtest.h>

using namespace vellamor;
using Tab = AuthSheetState::Tab;
using Step = AuthSheetState::Step;

namespace {

TEST(AuthSheetState, AddressCheckTrimsAndLooksAtTheFirstAt)
{
    const struct {
        QString email;
        bool valid;
    } cases[] = {
        { QStringLiteral("  a@b.cd \n"), true },
        { QStringLiteral("ab.cd"), false },
        { QStringLiteral("@b.cd"), false },
        { QStringLiteral("a@b.c"), false },
        { QStringLiteral("a@bb.c"), true },
        { QStringLiteral("a@b@c.d"), true },
        { QStringLiteral("a@bcde"), false },
        { QStringLiteral("a@\U0001F1E8\U0001F1F3.c"), false },
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
        { QStringLiteral("12 34 56 78"), QStringLiteral("123456") },
        { QStringLiteral("1a2b3c"), QStringLiteral("123") },
        { QStringLiteral("１２３４５６"), QStringLiteral("123456") },
        { QStringLiteral("٤٥٦"), QStringLiteral("456") },
        { QStringLiteral("½²Ⅷ七3"), QStringLiteral("3") }, // numeric, but no decimal digit
        { QStringLiteral("\U0001D7CF\U0001D7D0"), QStringLiteral("12") },
    };
    for (const auto& c : cases)
        EXPECT_EQ(AuthSheetState::filterCode(c.typed), c.kept) << c.typed.toStdString();
}

TEST(AuthSheetState, PrimaryButtonFollowsTheRoadAndItsInput)
{
    const QString emoji = QStringLiteral("\U0001F44D\U0001F3FD"); // one character, four UTF-16 units
    const struct {
        Tab tab;
        Step step;
        QString email;
        QString password;
        QString code;
        bool enabled;
    } cases[] = {
        { Tab::password, Step::enterEmail, QStringLiteral("a@b.cd"), QString(7, u'x'), {}, false },
        { Tab::password, Step::enterEmail, QStringLiteral("a@b.cd"), QString(8, u'x'), {}, true },
        { Tab::password, Step::enterEmail, QStringLiteral("a@b.cd"), QString(128, u'x'), {}, true },
        { Tab::password, Step::enterEmail, QStringLiteral("a@b.cd"), QString(129, u'x'), {}, false },
        { Tab::password, Step::enterEmail, QStringLiteral("a@b.cd"), emoji.repeated(8), {}, true },
        { Tab::password, Step::enterEmail, QStringLiteral("ab.cd"), QString(8, u'x'), {}, false },
        { Tab::emailCode, Step::enterEmail, QStringLiteral("a@b.cd"), {}, {}, true },
        { Tab::emailCode, Step::enterCode, QStringLiteral("not an address"), {}, QStringLiteral("12345"), false },
        { Tab::emailCode, Step::enterCode, QStringLiteral("not an address"), {}, QStringLiteral("123456"), true },
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
        { Tab::emailCode, Step::enterEmail, {}, false, QStringLiteral("登录 Vellamor"), QStringLiteral("发送验证码") },
        { Tab::emailCode, Step::enterCode, QStringLiteral("register"), false, QStringLiteral("欢迎使用 Vellamor"),
            QStringLiteral("注册并登录") },
        { Tab::emailCode, Step::enterCode, QStringLiteral("login"), false, QStringLiteral("欢迎回来"),
            QStringLiteral("登录") },
        { Tab::emailCode, Step::enterCode, QStringLiteral("Register"), true, QStringLiteral("欢迎回来"),
            QStringLiteral("处理中…") },
        { Tab::password, Step::enterEmail, {}, false, QStringLiteral("用密码登录"), QStringLiteral("登录") },
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
