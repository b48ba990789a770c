#include "Auth/AccountCard.h"
#include "Auth/AuthSession.h"
#include "Auth/AuthSheet.h"
#include "Auth/AuthSheetPresenter.h"
#include "Auth/KeychainStatus.h"
#include "Auth/RelativeTimeText.h"
#include "Settings/UserDefaults.h"
#include "Support/Async/RunBlocking.h"

#include "FakeAuthAPI.h"
#include "InMemorySecureItemStore.h"
#include "WaitUntil.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <limits>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace Qt::StringLiterals;
using namespace std::chrono_literals;
using vellamor::test::FakeAuthAPI;
using vellamor::test::InMemorySecureItemStore;
using vellamor::test::waitUntil;
using Face = AccountCard::Face;

namespace {

TEST(AccountCardTexts, StartupFailuresInTheCardsWords)
{
    const struct {
        AuthAPIError error;
        QString text;
    } cases[] = {
        {AuthAPIError::userBanned({}), u"该账号已被封禁，如有疑问请联系支持"_s},
        {AuthAPIError::userBanned(u"spam"_s), u"该账号已被封禁：spam"_s},
        {AuthAPIError::network(u"HTTP 502"_s), u"无法连接到 Vellamor 服务（HTTP 502），请检查网络后重试"_s},
        {AuthAPIError::network({}), u"无法连接到 Vellamor 服务（），请检查网络后重试"_s},
        {AuthAPIError::tokenInvalid(), u"登录凭据已被撤销或失效，请重新登录"_s},
        {AuthAPIError::unauthorized(), u"登录凭据已被撤销或失效，请重新登录"_s},
        {AuthAPIError::tokenExpired(), u"登录凭据已过期，请重新登录以继续同步"_s},
        {AuthAPIError::tokenRevoked(), u"登录已失效，请重新登录"_s},
        {AuthAPIError::server(50000, u"x"_s), u"服务异常 50000：x"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AccountCard::bootstrapErrorMessage(c.error), c.text) << c.error.debugDescription().toStdString();
}

TEST(AccountCardTexts, LastSignInIsToldRelativeToNow)
{
    const Date now = Date::fromUnixSeconds(1'700'000'000);
    const struct {
        std::optional<double> secondsAgo;
        QString text;
    } cases[] = {
        {std::nullopt, u"首次登录"_s},
        {5, u"上次登录 5秒钟前"_s},
        {119, u"上次登录 1分钟前"_s},
        {3 * 3600 + 59, u"上次登录 3小时前"_s},
        {15 * 86400, u"上次登录 2周前"_s},
        {100 * 86400, u"上次登录 3个月前"_s},
        {800 * 86400, u"上次登录 2年前"_s},
    };
    for (const auto& c : cases) {
        AuthMe me{7, u"a@x.io"_s, u"zh-CN"_s, now, std::nullopt};
        if (c.secondsAgo)
            me.lastLoginAt = now.addingSeconds(-*c.secondsAgo);
        EXPECT_EQ(AccountCard::lastLoginText(me, now), c.text);
    }
    EXPECT_EQ(relativeTimeText(now.addingSeconds(-5), now, RelativeTimeStyle::abbreviated), u"5秒前"_s);

    // Far beyond what a 64-bit count of milliseconds holds: clamped, never undefined.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double seconds : {1e300, -1e300, inf, -inf, 1e17})
        EXPECT_TRUE(relativeTimeText(Date(seconds), now).contains(u"年"_s)) << seconds;
    EXPECT_EQ(relativeTimeText(Date(nan), now), QString());
    EXPECT_EQ(relativeTimeText(now, Date(nan)), QString());
}

// The card over a real session whose client is scripted; the keyring is in memory.
class AccountCardTest : public ::testing::Test {
protected:
    void TearDown() override { vellamor::test::runEventLoopFor(20ms); }

    void signIn(bool isNew)
    {
        const AuthTokens tokens{u"at"_s, u"rt"_s, Date::fromUnixSeconds(4'000'000'000)};
        const AuthMe me{7, u"new@x.io"_s, u"zh-CN"_s, Date::fromUnixSeconds(1'700'000'000), std::nullopt};
        api->succeed(FakeAuthAPI::Op::verifyUnifiedCode, VerifyCodeResponse{tokens, me, isNew});
        vellamor::runBlocking(session->loginWithUnifiedCode(me.email, u"123456"_s));
    }
    std::unique_ptr<AccountCard> makeCard()
    {
        auto card = std::make_unique<AccountCard>(session, presenter, defaults);
        card->resize(460, 80);
        card->show();
        return card;
    }
    static QString shown(AccountCard& card, const QString& name)
    {
        auto* label = card.findChild<QLabel*>(name);
        return label && label->isVisibleTo(&card) ? label->text() : QString();
    }
    static void screenshot(AccountCard& card, const QString& name)
    {
        const QString folder = qEnvironmentVariable("VELLAMOR_SCREENSHOT_DIR");
        if (!folder.isEmpty() && QDir().mkpath(folder))
            card.grab().save(folder + u"/account-card-"_s + name + u".png"_s);
    }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(u"d.ini"_s));
    std::shared_ptr<InMemorySecureItemStore> keyring = std::make_shared<InMemorySecureItemStore>();
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(
        api, std::make_shared<KeychainStore>(keyring, u"com.vellamor.app.auth"_s, u"session"_s),
        VellamorLog(u"t"_s, u"auth"_s, nullptr, nullptr), &Date::now, defaults);
    AuthSheetPresenter presenter{api, session};
};

TEST_F(AccountCardTest, FacesFollowTheSessionAndTheWelcomeShowsOncePerRegistration)
{
    auto card = makeCard();
    EXPECT_EQ(card->face(), Face::signedOut);
    card->findChild<QPushButton*>(u"signIn"_s)->click();
    ASSERT_NE(presenter.openSheet(), nullptr);
    EXPECT_EQ(presenter.openSheet()->parentWidget(), card->window());
    presenter.openSheet()->reject();

    signIn(true);
    EXPECT_EQ(card->face(), Face::signedIn);
    ASSERT_TRUE(waitUntil([&] { return !shown(*card, u"welcome"_s).isEmpty(); }));
    EXPECT_EQ(shown(*card, u"email"_s), u"new@x.io"_s);
    EXPECT_EQ(shown(*card, u"lastLogin"_s), u"首次登录"_s);
    EXPECT_FALSE(defaults->contains(AuthSession::justRegisteredKey()));
    screenshot(*card, u"signed-in"_s);
    // A card made later finds the mark used up; this one keeps its line.
    auto later = makeCard();
    vellamor::test::runEventLoopFor(10ms);
    EXPECT_EQ(shown(*later, u"welcome"_s), QString());
    EXPECT_FALSE(shown(*card, u"welcome"_s).isEmpty());

    api->succeed(FakeAuthAPI::Op::logout);
    keyring->setLatency(50ms);
    auto* signOut = card->findChild<QPushButton*>(u"signOut"_s);
    signOut->click();
    EXPECT_EQ(signOut->text(), u"正在退出…"_s);
    EXPECT_FALSE(signOut->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return card->face() == Face::signedOut && signOut->isEnabled(); }));

    // A returning user leaves no mark; the card keeps its line for its life.
    signIn(false);
    EXPECT_FALSE(shown(*card, u"welcome"_s).isEmpty());
    EXPECT_FALSE(defaults->contains(AuthSession::justRegisteredKey()));
}

TEST_F(AccountCardTest, AFailedCleanupShowsTheFailureFaceUntilSigningInAgain)
{
    signIn(false);
    auto card = makeCard();
    api->succeed(FakeAuthAPI::Op::logout);
    for (auto variant : {SecureItemStore::Variant::dataProtection, SecureItemStore::Variant::file})
        keyring->setRemoveStatus(variant, KeychainStatus::interactionNotAllowed);
    card->findChild<QPushButton*>(u"signOut"_s)->click();
    ASSERT_TRUE(waitUntil([&] { return card->face() == Face::startupFailure; }));
    EXPECT_EQ(shown(*card, u"failureMessage"_s),
              AuthAPIError::keychainCleanupFailed(KeychainStatus::interactionNotAllowed).errorDescription());
    screenshot(*card, u"failure"_s);

    // The sheet opens at once; the card turns once the session has cleared the error.
    card->findChild<QPushButton*>(u"signInAgain"_s)->click();
    EXPECT_NE(presenter.openSheet(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return card->face() == Face::signedOut; }));
}

} // namespace
