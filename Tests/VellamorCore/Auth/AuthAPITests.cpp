#include "Models/NetworkError.h"
#include "Networking/AuthAPI.h"
#include "Networking/AuthUnauthorizedReason.h"
#include "Support/Async/RunBlocking.h"

#include "AuthTestPrinters.h"
#include "ErrorOf.h"
#include "ScriptedHTTPSession.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <functional>

using namespace vellamor;
using vellamor::test::errorOf;
using vellamor::test::ScriptedHTTPSession;

namespace {

const QByteArray userJson = R"({"id":7,"email":"u@x.io","locale":"zh-CN","created_at":"2025-01-01T00:00:00Z"})";
const QByteArray pairWithoutUser =
    R"({"access_token":"at-1","refresh_token":"rt-1","access_expire":"2026-03-01T16:15:42.123+08:00"})";
const QByteArray pairJson = pairWithoutUser.chopped(1) + ",\"user\":" + userJson + "}";

const AuthTokens pairTokens{QStringLiteral("at-1"), QStringLiteral("rt-1"),
                            *Date::fromIso8601(u"2026-03-01T08:15:42.123Z")};
const AuthMe pairUser{7, QStringLiteral("u@x.io"), QStringLiteral("zh-CN"), *Date::fromIso8601(u"2025-01-01T00:00:00Z"),
                      std::nullopt};

QByteArray envelope(const QByteArray& data, qint64 code = 0, const QByteArray& msg = "ok")
{
    QByteArray body = "{\"code\":" + QByteArray::number(code) + ",\"msg\":\"" + msg + "\"";
    if (!data.isNull())
        body += ",\"data\":" + data;
    return body + "}";
}

class AuthAPITest : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedHTTPSession> http = std::make_shared<ScriptedHTTPSession>();
    AuthAPI api{QUrl(QStringLiteral("https://api.example.test/base")), http};
};

QCoro::Task<void> discard(auto task)
{
    co_await std::move(task);
}

// Each call, with the arguments the request shapes below expect.
using Call = std::function<QCoro::Task<void>(AuthAPI&)>;
const Call requestCode = [](AuthAPI& a) { return a.requestCode(QStringLiteral("u@x.io"), QStringLiteral(" pw ")); };
const Call verifyCode = [](AuthAPI& a) {
    return discard(a.verifyCode(QStringLiteral("U@x.io"), QStringLiteral("0123")));
};
const Call login = [](AuthAPI& a) { return discard(a.login(QStringLiteral("u@x.io"), QStringLiteral("secret"))); };
const Call requestLoginCode = [](AuthAPI& a) { return a.requestLoginCode(QStringLiteral("u@x.io")); };
const Call loginWithCode = [](AuthAPI& a) {
    return discard(a.loginWithCode(QStringLiteral("u@x.io"), QStringLiteral("42")));
};
const Call requestUnifiedCode = [](AuthAPI& a) { return discard(a.requestUnifiedCode(QStringLiteral("u@x.io"))); };
const Call verifyUnifiedCode = [](AuthAPI& a) {
    return discard(a.verifyUnifiedCode(QStringLiteral("u@x.io"), QStringLiteral("9")));
};
const Call refresh = [](AuthAPI& a) { return discard(a.refresh(QStringLiteral("rt-0"))); };
const Call me = [](AuthAPI& a) { return discard(a.me(QStringLiteral("at-0"))); };
const Call logout = [](AuthAPI& a) { return a.logout(QStringLiteral("rt-0")); };

struct ShapeCase {
    const char* name;
    Call call;
    QByteArray reply;
    QByteArray body;
    std::optional<QString> authorization;
};

TEST_F(AuthAPITest, EachActionSendsItsEnvelopeToTheEndpoint)
{
    const QByteArray meReply = "{\"user\":" + userJson + "}";
    const ShapeCase cases[] = {
        // "ok" is not looked at.
        {"requestCode", requestCode, R"({"ok":false})",
         R"({"action":"auth.register","data":{"email":"u@x.io","password":" pw "}})", std::nullopt},
        {"verifyCode", verifyCode, pairJson, R"({"action":"auth.verify","data":{"email":"U@x.io","code":"0123"}})",
         std::nullopt},
        {"login", login, pairJson, R"({"action":"auth.login","data":{"email":"u@x.io","password":"secret"}})",
         std::nullopt},
        {"requestLoginCode", requestLoginCode, "{}",
         R"({"action":"auth.requestLoginCode","data":{"email":"u@x.io"}})", std::nullopt},
        {"loginWithCode", loginWithCode, pairJson,
         R"({"action":"auth.loginWithCode","data":{"email":"u@x.io","code":"42"}})", std::nullopt},
        {"requestUnifiedCode", requestUnifiedCode, R"({"purpose":"login","expires_in_seconds":600})",
         R"({"action":"auth.requestCode","data":{"email":"u@x.io"}})", std::nullopt},
        {"verifyUnifiedCode", verifyUnifiedCode, pairJson,
         R"({"action":"auth.verifyCode","data":{"email":"u@x.io","code":"9"}})", std::nullopt},
        {"refresh", refresh, pairJson, R"({"action":"auth.refresh","data":{"refresh_token":"rt-0"}})", std::nullopt},
        {"me", me, meReply, R"({"action":"user.me","data":{}})", QStringLiteral("Bearer at-0")},
        {"me without token", [](AuthAPI& a) { return discard(a.me(QString())); }, meReply,
         R"({"action":"user.me","data":{}})", std::nullopt},
        {"logout", logout, "{}", R"({"action":"auth.logout","data":{"refresh_token":"rt-0"}})", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const qsizetype before = http->requests().size();
        http->respond(200, envelope(c.reply));
        EXPECT_NO_THROW(runBlocking(c.call(api)));
        ASSERT_EQ(http->requests().size(), before + 1);
        const HTTPRequest& request = http->requests().last();
        EXPECT_EQ(request.url, QUrl(QStringLiteral("https://api.example.test/base/v1/api.json")));
        EXPECT_EQ(request.method, QStringLiteral("POST"));
        EXPECT_EQ(request.timeout, std::chrono::milliseconds(12000));
        EXPECT_EQ(request.headers.value(QStringLiteral("Content-Type")), QStringLiteral("application/json"));
        EXPECT_EQ(request.headers.value(QStringLiteral("Accept")), QStringLiteral("application/json"));
        EXPECT_EQ(request.headers.value(QStringLiteral("Authorization")), c.authorization);
        EXPECT_EQ(QJsonDocument::fromJson(request.body).object(), QJsonDocument::fromJson(c.body).object())
            << request.body.toStdString();
    }
}

TEST_F(AuthAPITest, RepliesBecomeTheLocalRecords)
{
    // Unknown members are ignored; a date keeps its instant and its fraction.
    http->respond(200, envelope(pairJson.chopped(1) + ",\"extra\":[1]}"));
    const auto [tokens, user] = runBlocking(api.login(QStringLiteral("u@x.io"), QStringLiteral("pw")));
    EXPECT_EQ(tokens, pairTokens);
    EXPECT_EQ(user, pairUser);

    // Ids are exact 64-bit integers; the last sign-in is optional.
    http->respond(200, envelope(R"({"user":{"id":9007199254740993,"email":"u@x.io","locale":"en",
        "created_at":"2025-01-02T03:04:05Z","last_login_at":"2025-02-02T03:04:05.5Z"}})"));
    EXPECT_EQ(runBlocking(api.me(QStringLiteral("at"))),
              (AuthMe{Q_INT64_C(9007199254740993), QStringLiteral("u@x.io"), QStringLiteral("en"),
                      *Date::fromIso8601(u"2025-01-02T03:04:05Z"), *Date::fromIso8601(u"2025-02-02T03:04:05.5Z")}));

    // The purpose is passed on as sent.
    http->respond(200, envelope(R"({"purpose":"Register","expires_in_seconds":300})"));
    EXPECT_EQ(runBlocking(api.requestUnifiedCode(QStringLiteral("u@x.io"))),
              (RequestCodeResponse{QStringLiteral("Register"), 300}));

    // is_new absent or null reads as false.
    for (const QByteArray& isNew : {QByteArray(), QByteArray(",\"is_new\":null"), QByteArray(",\"is_new\":true")}) {
        http->respond(200, envelope(pairJson.chopped(1) + isNew + "}"));
        const auto verified = runBlocking(api.verifyUnifiedCode(QStringLiteral("u@x.io"), QStringLiteral("1")));
        EXPECT_EQ(verified.isNew, isNew.contains("true"));
    }

    // A refresh ignores a "user" and works without one.
    http->respond(200, envelope(pairJson)).respond(200, envelope(pairWithoutUser));
    EXPECT_EQ(runBlocking(api.refresh(QStringLiteral("rt-0"))), pairTokens);
    EXPECT_EQ(runBlocking(api.refresh(QStringLiteral("rt-0"))), pairTokens);
}

struct FailureCase {
    const char* name;
    int status;
    QByteArray body;
    AuthAPIError expected;
};

TEST_F(AuthAPITest, FailuresAreClassifiedInOrder)
{
    const AuthAPIError unparsable = AuthAPIError::network(QStringLiteral("响应解析失败"));
    const QByteArray html = "<html><body>proxy</body></html>";
    const FailureCase cases[] = {
        {"503 with an envelope", 503, envelope("{}", 40101), AuthAPIError::network(QStringLiteral("HTTP 503"))},
        {"500 exactly", 500, envelope("{}"), AuthAPIError::network(QStringLiteral("HTTP 500"))},
        {"HTML with 404", 404, html, unparsable},
        {"refusal with null data", 200, envelope("null", 40102), AuthAPIError::tokenRevoked()},
        {"499 with 40001", 499, envelope(QByteArray(), 40001, "bad password"), AuthAPIError::invalidPassword()},
        {"code 0 without data", 200, envelope(QByteArray()), AuthAPIError::network(QStringLiteral("空响应"))},
        {"code 0 with null data", 200, envelope("null"), AuthAPIError::network(QStringLiteral("空响应"))},
        {"data of the wrong shape", 200, envelope("[]"), unparsable},
        {"code as a string", 200, R"({"code":"0","msg":"ok","data":{}})", unparsable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        http->respond(c.status, c.body);
        EXPECT_EQ(errorOf<AuthAPIError>(api.logout(QStringLiteral("rt"))), c.expected);
    }

    // Without an HTTP answer.
    const NetworkError timedOut(NetworkError::Kind::timedOut);
    http->fail(timedOut).fail(std::runtime_error("boom")).respondNonHTTP(envelope("{}"));
    EXPECT_EQ(errorOf<AuthAPIError>(api.logout(QStringLiteral("rt"))),
              AuthAPIError::network(timedOut.errorDescription()));
    EXPECT_EQ(errorOf<AuthAPIError>(api.logout(QStringLiteral("rt"))), AuthAPIError::network(QStringLiteral("boom")));
    EXPECT_EQ(errorOf<AuthAPIError>(api.logout(QStringLiteral("rt"))),
              AuthAPIError::network(QStringLiteral("无效响应")));
}

struct UnusableCase {
    const char* name;
    Call call;
    QByteArray body;
};

TEST_F(AuthAPITest, UnusableRepliesFailAsParseErrors)
{
    const QByteArray withUserNull = pairWithoutUser.chopped(1) + ",\"user\":null}";
    const UnusableCase cases[] = {
        // Sign-in pairs must carry the user.
        {"verifyCode without user", verifyCode, envelope(pairWithoutUser)},
        {"login without user", login, envelope(pairWithoutUser)},
        {"loginWithCode with a null user", loginWithCode, envelope(withUserNull)},
        {"verifyUnifiedCode with a null user", verifyUnifiedCode, envelope(withUserNull)},
        {"user.me with a null user", me, envelope(R"({"user":null})")},
        {"refresh with a malformed user", refresh, envelope(pairWithoutUser.chopped(1) + R"(,"user":{"id":7}})")},
        {"camelCase keys", refresh,
         envelope(R"({"accessToken":"a","refreshToken":"r","accessExpire":"2026-03-01T08:15:42Z"})")},
        {"expiry as a number", refresh,
         envelope(R"({"access_token":"a","refresh_token":"r","access_expire":1772352942})")},
        {"purpose without expiry", requestUnifiedCode, envelope(R"({"purpose":"login"})")},
        // The envelope is decoded with the reply's shape before its code is
        // looked at: a refusal carrying an unexpected "data" is a parse failure.
        {"refusal with data", refresh, envelope("{}", 40101)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        http->respond(200, c.body);
        EXPECT_EQ(errorOf<AuthAPIError>(c.call(api)), AuthAPIError::network(QStringLiteral("响应解析失败")));
    }
}

TEST_F(AuthAPITest, StoppingARefreshEndsItAsANetworkFailure)
{
    http->respond(200, envelope(pairJson)).after(std::chrono::seconds(5));
    std::stop_source stop;
    auto task = api.refresh(QStringLiteral("rt"), stop.get_token());
    stop.request_stop();
    EXPECT_EQ(errorOf<AuthAPIError>(std::move(task)), AuthAPIError::network(CancellationError().errorDescription()));
}

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
         QStringLiteral("退出成功，但本地登录凭据清理失败（密钥环状态 -25293），请检查密钥环访问权限")},
        {AuthAPIError::keychainWriteFailed(-34018),
         QStringLiteral("登录失败：无法安全存储登录凭据（密钥环状态 -34018），请检查应用权限或联系开发者")},
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
        {42901, QStringLiteral("slow down"), AuthAPIError::tooManyRequests()},
        {50023, QStringLiteral("smtp down"), AuthAPIError::mailerFailed()},
        // Everything else keeps the server's code and message.
        {42900, QStringLiteral("rate limited"), AuthAPIError::server(42900, QStringLiteral("rate limited"))},
        {40402, QStringLiteral("user not found"), AuthAPIError::server(40402, QStringLiteral("user not found"))},
        {40104, QStringLiteral("x"), AuthAPIError::server(40104, QStringLiteral("x"))},
        // A ban's reason is the text after the last ASCII colon, trimmed of
        // horizontal space (Unicode space separators too, line breaks not).
        {40300, QStringLiteral("account banned: spam"), AuthAPIError::userBanned(QStringLiteral("spam"))},
        {40300, QString(), AuthAPIError::userBanned(QString())},
        {40300, QStringLiteral("banned: "), AuthAPIError::userBanned(QString())},
        {40300, QStringLiteral("no colon at all "), AuthAPIError::userBanned(QStringLiteral("no colon at all"))},
        {40300, QStringLiteral("a:b::"), AuthAPIError::userBanned(QStringLiteral("b"))},
        {40300, QStringLiteral("封禁：违规"), AuthAPIError::userBanned(QStringLiteral("封禁：违规"))},
        {40300, QStringLiteral("x:\t tabbed \t"), AuthAPIError::userBanned(QStringLiteral("tabbed"))},
        {40300, QStringLiteral("x:\u3000wide\u00a0"), AuthAPIError::userBanned(QStringLiteral("wide"))},
        {40300, QStringLiteral("x: reason\n"), AuthAPIError::userBanned(QStringLiteral("reason\n"))},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AuthAPI::mapServerError(c.code, c.message), c.expected)
            << c.code << " " << c.message.toStdString();
    }
}

// mapServerError passes 40100 to 40103 through it.
TEST(AuthUnauthorizedReasonTest, EveryOtherCodeIsAnInvalidToken)
{
    for (const qint64 other : {40099, 0, 40104, 50000, -1})
        EXPECT_EQ(AuthUnauthorizedReason::from(other), AuthAPIError::tokenInvalid()) << other;
}

} // namespace
