#include "Auth/AuthUnauthorizedReason.h"
#include "Models/AuthAPIError.h"
#include "Networking/AuthAPI.h"

#include "AuthTestPrinters.h"

#include <gtest/gtest.h>

using namespace vellamor;

namespace {

struct DescriptionCase {
    AuthAPIError error;
    QString text;
};

TEST(AuthAPIErrorTest, EveryCaseDescribesItselfWithItsFixedText)
{
    const DescriptionCase cases[] = {
        {AuthAPIError::userBanned(QString()), QStringLiteral("账号已被封禁")},
        {AuthAPIError::userBanned(QStringLiteral("spam")), QStringLiteral("账号已被封禁：spam")},
        {AuthAPIError::network(QStringLiteral("timeout")), QStringLiteral("网络异常：timeout")},
        {AuthAPIError::server(50000, QStringLiteral("x")), QStringLiteral("服务异常 50000：x")},
        {AuthAPIError::keychainCleanupFailed(-25293),
         QStringLiteral("退出成功，但本地登录凭据清理失败（Keychain 状态 -25293），请检查 Keychain 访问权限")},
        {AuthAPIError::keychainWriteFailed(-34018),
         QStringLiteral("登录失败：无法安全存储登录凭据（Keychain 状态 -34018），请检查应用权限或联系开发者")},
        {AuthAPIError::invalidEmail(), QStringLiteral("邮箱格式不正确")},
        {AuthAPIError::invalidPassword(), QStringLiteral("密码长度需为 8-128 位")},
        {AuthAPIError::invalidCode(), QStringLiteral("验证码错误，请重新输入")},
        {AuthAPIError::codeExpired(), QStringLiteral("验证码已过期，请重新发送")},
        {AuthAPIError::tooManyRequests(), QStringLiteral("请求过于频繁，请稍后再试")},
        {AuthAPIError::credentialsInvalid(), QStringLiteral("邮箱或密码不正确")},
        {AuthAPIError::tokenInvalid(), QStringLiteral("登录凭据无效，请重新登录")},
        {AuthAPIError::tokenExpired(), QStringLiteral("登录已过期，请重新登录")},
        {AuthAPIError::tokenRevoked(), QStringLiteral("登录已失效，请重新登录")},
        {AuthAPIError::mailerFailed(), QStringLiteral("验证码邮件发送失败，请稍后重试")},
        {AuthAPIError::unauthorized(), QStringLiteral("未登录")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.error.errorDescription(), c.text) << c.error.debugDescription().toStdString();
}

TEST(AuthAPIErrorTest, DebugDescriptionNamesTheCaseAndItsPayload)
{
    const DescriptionCase cases[] = {
        {AuthAPIError::tokenExpired(), QStringLiteral("tokenExpired")},
        {AuthAPIError::unauthorized(), QStringLiteral("unauthorized")},
        {AuthAPIError::network(QStringLiteral("HTTP 502")), QStringLiteral("network(\"HTTP 502\")")},
        {AuthAPIError::userBanned(QString()), QStringLiteral("userBanned(\"\")")},
        {AuthAPIError::server(50000, QStringLiteral("x")), QStringLiteral("server(code: 50000, message: \"x\")")},
        {AuthAPIError::keychainWriteFailed(-25293), QStringLiteral("keychainWriteFailed(-25293)")},
        {AuthAPIError::keychainCleanupFailed(-25300), QStringLiteral("keychainCleanupFailed(-25300)")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.error.debugDescription(), c.text);
}

TEST(AuthAPIErrorTest, EqualityComparesCaseAndPayload)
{
    EXPECT_NE(AuthAPIError::userBanned(QString()), AuthAPIError::userBanned(QStringLiteral("x")));
    EXPECT_EQ(AuthAPIError::server(1, QStringLiteral("a")), AuthAPIError::server(1, QStringLiteral("a")));
    EXPECT_NE(AuthAPIError::server(1, QStringLiteral("a")), AuthAPIError::server(2, QStringLiteral("a")));
    EXPECT_NE(AuthAPIError::network(QStringLiteral("a")), AuthAPIError::userBanned(QStringLiteral("a")));
    EXPECT_NE(AuthAPIError::keychainWriteFailed(-1), AuthAPIError::keychainCleanupFailed(-1));
    EXPECT_NE(AuthAPIError::tokenExpired(), AuthAPIError::tokenRevoked());
}

struct MappingCase {
    qint64 code;
    QString message;
    AuthAPIError expected;
};

TEST(MapServerErrorTest, MapsEachCodeToItsCase)
{
    const MappingCase cases[] = {
        // 40001 is decided by the words, in order.
        {40001, QStringLiteral("Incorrect email format"), AuthAPIError::credentialsInvalid()},
        {40001, QStringLiteral("incorrect email or password"), AuthAPIError::credentialsInvalid()},
        {40001, QStringLiteral("Invalid email format"), AuthAPIError::invalidEmail()},
        {40001, QStringLiteral("FORMAT of the EMAIL is wrong"), AuthAPIError::invalidEmail()},
        {40001, QStringLiteral("PASSWORD too short"), AuthAPIError::invalidPassword()},
        {40001, QStringLiteral("email or password missing"), AuthAPIError::invalidPassword()},
        {40001, QStringLiteral("Email is required"), AuthAPIError::server(40001, QStringLiteral("Email is required"))},
        {40001, QString(), AuthAPIError::server(40001, QString())},
        {40100, QStringLiteral("x"), AuthAPIError::unauthorized()},
        {40101, QStringLiteral("x"), AuthAPIError::tokenExpired()},
        {40102, QStringLiteral("x"), AuthAPIError::tokenRevoked()},
        {40103, QStringLiteral("x"), AuthAPIError::tokenInvalid()},
        {40403, QStringLiteral("x"), AuthAPIError::invalidCode()},
        {40404, QStringLiteral("x"), AuthAPIError::codeExpired()},
        {40901, QStringLiteral("email already registered"), AuthAPIError::server(40901, QStringLiteral("邮箱已注册"))},
        {40901, QString(), AuthAPIError::server(40901, QStringLiteral("邮箱已注册"))},
        {42901, QStringLiteral("slow down"), AuthAPIError::tooManyRequests()},
        {50023, QStringLiteral("smtp down"), AuthAPIError::mailerFailed()},
        // Everything else keeps the server's code and message.
        {42900, QStringLiteral("rate limited"), AuthAPIError::server(42900, QStringLiteral("rate limited"))},
        {40402, QStringLiteral("user not found"), AuthAPIError::server(40402, QStringLiteral("user not found"))},
        {40104, QStringLiteral("x"), AuthAPIError::server(40104, QStringLiteral("x"))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AuthAPI::mapServerError(c.code, c.message), c.expected)
            << c.code << " " << c.message.toStdString();
    }
}

TEST(MapServerErrorTest, BanReasonIsTheLastAsciiColonPieceTrimmedOfHorizontalSpace)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("account banned: spam"), QStringLiteral("spam")},
        {QStringLiteral("a:b:c "), QStringLiteral("c")},
        {QString(), QString()},
        {QStringLiteral(":::"), QString()},
        {QStringLiteral("banned: "), QString()},
        {QStringLiteral("no colon at all "), QStringLiteral("no colon at all")},
        {QStringLiteral("a:b::"), QStringLiteral("b")},
        // The full-width colon does not split.
        {QStringLiteral("封禁：违规"), QStringLiteral("封禁：违规")},
        {QStringLiteral("x:\t tabbed \t"), QStringLiteral("tabbed")},
        // Unicode space separators are trimmed, line breaks are not.
        {QStringLiteral("x:\u3000wide\u00a0"), QStringLiteral("wide")},
        {QStringLiteral("x: reason\n"), QStringLiteral("reason\n")},
    };
    for (const auto& [message, reason] : cases) {
        EXPECT_EQ(AuthAPI::mapServerError(40300, message), AuthAPIError::userBanned(reason)) << message.toStdString();
    }
    EXPECT_EQ(AuthAPI::mapServerError(40300, QStringLiteral("banned: ")).errorDescription(),
              QStringLiteral("账号已被封禁"));
}

TEST(AuthUnauthorizedReasonTest, MapsTheSessionEndingCodes)
{
    EXPECT_EQ(AuthUnauthorizedReason::from(40100), AuthAPIError::unauthorized());
    EXPECT_EQ(AuthUnauthorizedReason::from(40101), AuthAPIError::tokenExpired());
    EXPECT_EQ(AuthUnauthorizedReason::from(40102), AuthAPIError::tokenRevoked());
    for (const qint64 other : {40103, 40099, 0, 40104, 50000, -1})
        EXPECT_EQ(AuthUnauthorizedReason::from(other), AuthAPIError::tokenInvalid()) << other;
    EXPECT_EQ(AuthUnauthorizedReason::http401(), AuthAPIError::tokenInvalid());
}

} // namespace
