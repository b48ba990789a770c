#include "AccountWindows/AccountCard.h"
#include "AccountWindows/AuthSheet.h"
#include "AccountWindows/AuthSheetPresenter.h"
#include "AccountWindows/RelativeTimeText.h"
#include "Auth/AuthSession.h"
#include "Auth/KeychainStatus.h"
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
        { AuthAPIError::userBanned({}), QStringLiteral("该账号已被封禁，如有疑问请联系支持") },
        { AuthAPIError::userBanned(QStringLiteral("spam")), QStringLiteral("该账号已被封禁：spam") },
        { AuthAPIError::network(QStringLiteral("HTTP 502")),
            QStringLiteral("无法连接到 Vellamor 服务（HTTP 502），请检查网络后重试") },
        { AuthAPIError::network({}), QStringLiteral("无法连接到 Vellamor 服务（），请检查网络后重试") },
        { AuthAPIError::tokenInvalid(), QStringLiteral("登录凭据已被撤销或失效，请重新登录") },
        { AuthAPIError::unauthorized(), QStringLiteral("登录凭据已被撤销或失效，请重新登录") },
        { AuthAPIError::tokenExpired(), QStringLiteral("登录凭据已过期，请重新登录以继续同步") },
        { AuthAPIError::tokenRevoked(), QStringLiteral("登录已失效，请重新登录") },
        { AuthAPIError::server(50000, QStringLiteral("x")), QStringLiteral("服务异常 50000：x") },
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
        { std::nullopt, QStringLiteral("首次登录") },
        { 5, QStringLiteral("上次登录 5秒钟前") },
        { 119, QStringLiteral("上次登录 1分钟前") },
        { 3 * 3600 + 59, QStringLiteral("上次登录 3小时前") },
        { 15 * 86400, QStringLiteral("上次登录 2周前") },
        { 100 * 86400, QStringLiteral("上次登录 3个月前") },
        { 800 * 86400, QStringLiteral("上次登录 2年前") },
    };
    for (const auto& c : cases) {
        AuthMe me { 7, QStringLiteral("a@x.io"), QStringLiteral("zh-CN"), now, std::nullopt };
        if (c.secondsAgo)
            me.lastLoginAt = now.addingSeconds(-*c.secondsAgo);
        EXPECT_EQ(AccountCard::lastLoginText(me, now), c.text);
    }
    EXPECT_EQ(relativeTimeText(now.addingSeconds(-5), now, RelativeTimeStyle::abbreviated), QStringLiteral("5秒前"));

    // Far beyond what a 64-bit count of milliseconds holds: clamped, never undefined.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const double seconds : {1e300, -1e300, inf, -inf, 1e17})
        EXPECT_TRUE(relativeTimeText(Date(seconds), now).contains(QStringLiteral("年"))) << seconds;
    EXPECT_EQ(relativeTimeText(Date(nan), now), QString());
    EXPECT_EQ(relativeTimeText(now, Date(nan)), QString());
}

// The card over a real session whose client is scripted; the keyring is in memory.
class AccountCardTest : public ::testing::Test {
protected:
    void TearDown() override { vellamor::test::afterQueuedCalls(); }

    void signIn(bool isNew)
    {
        const AuthTokens tokens { QStringLiteral("at"), QStringLiteral("rt"), Date::fromUnixSeconds(4'000'000'000) };
        const AuthMe me { 7, QStringLiteral("new@x.io"), QStringLiteral("zh-CN"), Date::fromUnixSeconds(1'700'000'000),
            std::nullopt };
        api->succeed(FakeAuthAPI::Op::verifyUnifiedCode, VerifyCodeResponse{tokens, me, isNew});
        vellamor::runBlocking(session->loginWithUnifiedCode(me.email, QStringLiteral("123456")));
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
            card.grab().save(folder + QStringLiteral("/account-card-") + name + QStringLiteral(".png"));
    }

    QTemporaryDir folder;
    std::shared_ptr<UserDefaults> defaults = std::make_shared<UserDefaults>(folder.filePath(QStringLiteral("d.ini")));
    std::shared_ptr<InMemorySecureItemStore> keyring = std::make_shared<InMemorySecureItemStore>();
    std::shared_ptr<FakeAuthAPI> api = std::make_shared<FakeAuthAPI>();
    std::shared_ptr<AuthSession> session = std::make_shared<AuthSession>(api,
        std::make_shared<KeychainStore>(keyring, QStringLiteral("com.vellamor.app.auth"), QStringLiteral("session")),
        VellamorLog(QStringLiteral("t"), QStringLiteral("auth"), nullptr, nullptr), &Date::now, defaults);
    AuthSheetPresenter presenter{api, session};
};

TEST_F(AccountCardTest, FacesFollowTheSessionAndTheWelcomeShowsOncePerRegistration)
{
    auto card = makeCard();
    EXPECT_EQ(card->face(), Face::signedOut);
    card->findChild<QPushButton*>(QStringLiteral("signIn"))->click();
    ASSERT_NE(presenter.openSheet(), nullptr);
    EXPECT_EQ(presenter.openSheet()->parentWidget(), card->window());
    presenter.openSheet()->reject();

    signIn(true);
    EXPECT_EQ(card->face(), Face::signedIn);
    ASSERT_TRUE(waitUntil([&] { return !shown(*card, QStringLiteral("welcome")).isEmpty(); }));
    EXPECT_EQ(shown(*card, QStringLiteral("email")), QStringLiteral("new@x.io"));
    EXPECT_EQ(shown(*card, QStringLiteral("lastLogin")), QStringLiteral("首次登录"));
    EXPECT_FALSE(defaults->contains(AuthSession::justRegisteredKey()));
    screenshot(*card, QStringLiteral("signed-in"));
    // A card made later finds the mark used up; this one keeps its line.
    auto later = makeCard();
    // The card reads the mark on the turn after its face comes up.
    vellamor::test::afterQueuedCalls();
    EXPECT_EQ(shown(*later, QStringLiteral("welcome")), QString());
    EXPECT_FALSE(shown(*card, QStringLiteral("welcome")).isEmpty());

    api->succeed(FakeAuthAPI::Op::logout);
    keyring->setLatency(50ms);
    auto* signOut = card->findChild<QPushButton*>(QStringLiteral("signOut"));
    signOut->click();
    EXPECT_EQ(signOut->text(), QStringLiteral("正在退出…"));
    EXPECT_FALSE(signOut->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return card->face() == Face::signedOut && signOut->isEnabled(); }));

    // A returning user leaves no mark; the card keeps its line for its life.
    signIn(false);
    EXPECT_FALSE(shown(*card, QStringLiteral("welcome")).isEmpty());
    EXPECT_FALSE(defaults->contains(AuthSession::justRegisteredKey()));
}

TEST_F(AccountCardTest, AFailedCleanupShowsTheFailureFaceUntilSigningInAgain)
{
    signIn(false);
    auto card = makeCard();
    api->succeed(FakeAuthAPI::Op::logout);
    for (auto variant : {SecureItemStore::Variant::dataProtection, SecureItemStore::Variant::file})
        keyring->setRemoveStatus(variant, KeychainStatus::interactionNotAllowed);
    card->findChild<QPushButton*>(QStringLiteral("signOut"))->click();
    ASSERT_TRUE(waitUntil([&] { return card->face() == Face::startupFailure; }));
    EXPECT_EQ(shown(*card, QStringLiteral("failureMessage")),
        AuthAPIError::keychainCleanupFailed(KeychainStatus::interactionNotAllowed).errorDescription());
    screenshot(*card, QStringLiteral("failure"));

    // The sheet opens at once; the card turns once the session has cleared the error.
    card->findChild<QPushButton*>(QStringLiteral("signInAgain"))->click();
    EXPECT_NE(presenter.openSheet(), nullptr);
    ASSERT_TRUE(waitUntil([&] { return card->face() == Face::signedOut; }));
}

} // namespace
