#include "Networking/AuthAPI.h"
#include "Networking/NetworkError.h"
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

const QByteArray pairJson = R"({"access_token":"at-1","refresh_token":"rt-1","access_expire":"2026-03-01T08:15:42Z",
    "user":{"id":7,"email":"u@x.io","locale":"zh-CN","created_at":"2025-01-01T00:00:00Z"}})";
const QByteArray pairWithoutUser =
    R"({"access_token":"at-1","refresh_token":"rt-1","access_expire":"2026-03-01T08:15:42Z"})";
const QByteArray userJson = R"({"id":7,"email":"u@x.io","locale":"zh-CN","created_at":"2025-01-01T00:00:00Z"})";

QByteArray envelope(const QByteArray& data, qint64 code = 0, const QByteArray& msg = "ok")
{
    QByteArray body = "{\"code\":" + QByteArray::number(code) + ",\"msg\":\"" + msg + "\"";
    if (!data.isNull())
        body += ",\"data\":" + data;
    return body + "}";
}

QJsonObject parse(const QByteArray& json)
{
    return QJsonDocument::fromJson(json).object();
}

class AuthAPITest : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedHTTPSession> http = std::make_shared<ScriptedHTTPSession>();
    AuthAPI api{QUrl(QStringLiteral("https://api.example.test/base")), http};
};

struct ShapeCase {
    const char* name;
    std::function<QCoro::Task<void>(AuthAPI&)> call;
    QByteArray reply;
    QByteArray body;
    std::optional<QString> authorization;
};

QCoro::Task<void> discard(QCoro::Task<AuthAPIProtocol::SignIn> task)
{
    co_await std::move(task);
}

TEST_F(AuthAPITest, EachActionSendsItsEnvelopeToTheEndpoint)
{
    const ShapeCase cases[] = {
        {"requestCode", [](AuthAPI& a) { return a.requestCode(QStringLiteral("u@x.io"), QStringLiteral(" pw ")); },
         "{}", R"({"action":"auth.register","data":{"email":"u@x.io","password":" pw "}})", std::nullopt},
        {"verifyCode", [](AuthAPI& a) { return discard(a.verifyCode(QStringLiteral("U@x.io"), QStringLiteral("0123"))); },
         pairJson, R"({"action":"auth.verify","data":{"email":"U@x.io","code":"0123"}})", std::nullopt},
        {"login", [](AuthAPI& a) { return discard(a.login(QStringLiteral("u@x.io"), QStringLiteral("secret"))); },
         pairJson, R"({"action":"auth.login","data":{"email":"u@x.io","password":"secret"}})", std::nullopt},
        {"requestLoginCode", [](AuthAPI& a) { return a.requestLoginCode(QStringLiteral("u@x.io")); }, "{}",
         R"({"action":"auth.requestLoginCode","data":{"email":"u@x.io"}})", std::nullopt},
        {"loginWithCode",
         [](AuthAPI& a) { return discard(a.loginWithCode(QStringLiteral("u@x.io"), QStringLiteral("42"))); }, pairJson,
         R"({"action":"auth.loginWithCode","data":{"email":"u@x.io","code":"42"}})", std::nullopt},
        {"requestUnifiedCode",
         [](AuthAPI& a) -> QCoro::Task<void> { co_await a.requestUnifiedCode(QStringLiteral("u@x.io")); },
         R"({"purpose":"login","expires_in_seconds":600})", R"({"action":"auth.requestCode","data":{"email":"u@x.io"}})",
         std::nullopt},
        {"verifyUnifiedCode",
         [](AuthAPI& a) -> QCoro::Task<void> {
             co_await a.verifyUnifiedCode(QStringLiteral("u@x.io"), QStringLiteral("9"));
         },
         pairJson, R"({"action":"auth.verifyCode","data":{"email":"u@x.io","code":"9"}})", std::nullopt},
        {"refresh", [](AuthAPI& a) -> QCoro::Task<void> { co_await a.refresh(QStringLiteral("rt-0")); }, pairJson,
         R"({"action":"auth.refresh","data":{"refresh_token":"rt-0"}})", std::nullopt},
        {"me", [](AuthAPI& a) -> QCoro::Task<void> { co_await a.me(QStringLiteral("at-0")); },
         QByteArray("{\"user\":") + userJson + "}", R"({"action":"user.me","data":{}})", QStringLiteral("Bearer at-0")},
        {"me without token", [](AuthAPI& a) -> QCoro::Task<void> { co_await a.me(QString()); },
         QByteArray("{\"user\":") + userJson + "}", R"({"action":"user.me","data":{}})", std::nullopt},
        {"logout", [](AuthAPI& a) { return a.logout(QStringLiteral("rt-0")); }, "{}",
         R"({"action":"auth.logout","data":{"refresh_token":"rt-0"}})", std::nullopt},
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
        EXPECT_EQ(parse(request.body), parse(c.body)) << request.body.toStdString();
    }
}

TEST_F(AuthAPITest, RepliesBecomeTheLocalRecords)
{
    http->respond(200, envelope(pairJson));
    const auto [tokens, me] = runBlocking(api.login(QStringLiteral("u@x.io"), QStringLiteral("pw")));
    EXPECT_EQ(tokens, (AuthTokens{QStringLiteral("at-1"), QStringLiteral("rt-1"),
                                  *Date::fromIso8601(u"2026-03-01T08:15:42Z")}));
    EXPECT_EQ(me, (AuthMe{7, QStringLiteral("u@x.io"), QStringLiteral("zh-CN"),
                          *Date::fromIso8601(u"2025-01-01T00:00:00Z"), std::nullopt}));

    http->respond(200, envelope(R"({"purpose":"Register","expires_in_seconds":300})"));
    const RequestCodeResponse code = runBlocking(api.requestUnifiedCode(QStringLiteral("u@x.io")));
    EXPECT_EQ(code, (RequestCodeResponse{QStringLiteral("Register"), 300}));

    // is_new absent or null reads as false.
    for (const QByteArray& isNew : {QByteArray(), QByteArray(",\"is_new\":null"), QByteArray(",\"is_new\":true")}) {
        QByteArray data = pairJson;
        data.chop(1);
        http->respond(200, envelope(data + isNew + "}"));
        const VerifyCodeResponse verified = runBlocking(api.verifyUnifiedCode(QStringLiteral("u@x.io"), QStringLiteral("1")));
        EXPECT_EQ(verified.isNew, isNew.contains("true"));
        EXPECT_EQ(verified.tokens, tokens);
        EXPECT_EQ(verified.me, me);
    }

    // A refresh ignores a "user" and works without one.
    http->respond(200, envelope(pairJson)).respond(200, envelope(pairWithoutUser));
    EXPECT_EQ(runBlocking(api.refresh(QStringLiteral("rt-0"))), tokens);
    EXPECT_EQ(runBlocking(api.refresh(QStringLiteral("rt-0"))), tokens);
}

struct FailureCase {
    const char* name;
    std::function<void(ScriptedHTTPSession&)> script;
    AuthAPIError expected;
};

TEST_F(AuthAPITest, FailuresAreClassifiedInOrder)
{
    const auto html = QByteArray("<html><body>proxy</body></html>");
    const FailureCase cases[] = {
        {"transport error", [](ScriptedHTTPSession& s) { s.fail(NetworkError(NetworkError::Kind::timedOut)); },
         AuthAPIError::network(NetworkError(NetworkError::Kind::timedOut).errorDescription())},
        {"foreign error", [](ScriptedHTTPSession& s) { s.fail(std::runtime_error("boom")); },
         AuthAPIError::network(QStringLiteral("boom"))},
        {"not HTTP", [](ScriptedHTTPSession& s) { s.respondNonHTTP(envelope("{}")); },
         AuthAPIError::network(QStringLiteral("无效响应"))},
        {"503 with an envelope", [](ScriptedHTTPSession& s) { s.respond(503, envelope("{}", 40101)); },
         AuthAPIError::network(QStringLiteral("HTTP 503"))},
        {"500 exactly", [](ScriptedHTTPSession& s) { s.respond(500, envelope("{}")); },
         AuthAPIError::network(QStringLiteral("HTTP 500"))},
        {"HTML with 200", [html](ScriptedHTTPSession& s) { s.respond(200, html); },
         AuthAPIError::network(QStringLiteral("响应解析失败"))},
        {"HTML with 404", [html](ScriptedHTTPSession& s) { s.respond(404, html); },
         AuthAPIError::network(QStringLiteral("响应解析失败"))},
        {"401 with 40101", [](ScriptedHTTPSession& s) { s.respond(401, envelope(QByteArray(), 40101)); },
         AuthAPIError::tokenExpired()},
        {"499 with 40001", [](ScriptedHTTPSession& s) { s.respond(499, envelope(QByteArray(), 40001, "bad password")); },
         AuthAPIError::invalidPassword()},
        {"code 0 without data", [](ScriptedHTTPSession& s) { s.respond(200, envelope(QByteArray())); },
         AuthAPIError::network(QStringLiteral("空响应"))},
        {"code 0 with null data", [](ScriptedHTTPSession& s) { s.respond(200, envelope("null")); },
         AuthAPIError::network(QStringLiteral("空响应"))},
        {"data of the wrong shape", [](ScriptedHTTPSession& s) { s.respond(200, envelope("[]")); },
         AuthAPIError::network(QStringLiteral("响应解析失败"))},
        {"ok of the wrong type", [](ScriptedHTTPSession& s) { s.respond(200, envelope(R"({"ok":"yes"})")); },
         AuthAPIError::network(QStringLiteral("响应解析失败"))},
        {"code as a string", [](ScriptedHTTPSession& s) { s.respond(200, R"({"code":"0","msg":"ok","data":{}})"); },
         AuthAPIError::network(QStringLiteral("响应解析失败"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.script(*http);
        EXPECT_EQ(errorOf<AuthAPIError>(api.logout(QStringLiteral("rt"))), c.expected);
    }
}

TEST_F(AuthAPITest, EmptyDataObjectAndOkFalseAreSuccess)
{
    http->respond(200, envelope("{}")).respond(200, envelope(R"({"ok":false})")).respond(401, envelope(R"({"ok":null})"));
    EXPECT_NO_THROW(runBlocking(api.logout(QStringLiteral("rt"))));
    EXPECT_NO_THROW(runBlocking(api.requestCode(QStringLiteral("u@x.io"), QStringLiteral("password1"))));
    // A success code is a success whatever the 4xx status says.
    EXPECT_NO_THROW(runBlocking(api.requestLoginCode(QStringLiteral("u@x.io"))));
}

TEST_F(AuthAPITest, UnusableSignInRepliesFailAsParseErrors)
{
    const AuthAPIError parseFailure = AuthAPIError::network(QStringLiteral("响应解析失败"));
    // Sign-in pairs must carry the user.
    http->respond(200, envelope(pairWithoutUser)).respond(200, envelope(pairWithoutUser)).respond(200,
                                                                                                 envelope(pairWithoutUser));
    EXPECT_EQ(errorOf<AuthAPIError>(api.verifyCode(QStringLiteral("u@x.io"), QStringLiteral("1"))), parseFailure);
    EXPECT_EQ(errorOf<AuthAPIError>(api.login(QStringLiteral("u@x.io"), QStringLiteral("pw"))), parseFailure);
    EXPECT_EQ(errorOf<AuthAPIError>(api.loginWithCode(QStringLiteral("u@x.io"), QStringLiteral("1"))), parseFailure);

    http->respond(200, envelope(pairWithoutUser));
    EXPECT_EQ(errorOf<AuthAPIError>(api.verifyUnifiedCode(QStringLiteral("u@x.io"), QStringLiteral("1"))),
              parseFailure);

    http->respond(200, envelope(R"({"access_token":"a","refresh_token":"r","access_expire":1772352942})"));
    EXPECT_EQ(errorOf<AuthAPIError>(api.refresh(QStringLiteral("rt"))), parseFailure);

    http->respond(200, envelope(R"({"purpose":"login"})"));
    EXPECT_EQ(errorOf<AuthAPIError>(api.requestUnifiedCode(QStringLiteral("u@x.io"))), parseFailure);

    http->respond(200, envelope(R"({"user":null})"));
    EXPECT_EQ(errorOf<AuthAPIError>(api.me(QStringLiteral("at"))), parseFailure);

    // The envelope is decoded with the reply's shape before its code is
    // looked at: a refusal carrying an unexpected "data" is a parse failure.
    http->respond(200, envelope("{}", 40101));
    EXPECT_EQ(errorOf<AuthAPIError>(api.refresh(QStringLiteral("rt"))), parseFailure);
    http->respond(200, envelope("null", 40101));
    EXPECT_EQ(errorOf<AuthAPIError>(api.refresh(QStringLiteral("rt"))), AuthAPIError::tokenExpired());
}

TEST_F(AuthAPITest, StoppingARefreshEndsItAsANetworkFailure)
{
    http->respond(200, envelope(pairJson)).after(std::chrono::seconds(5));
    std::stop_source stop;
    auto task = api.refresh(QStringLiteral("rt"), stop.get_token());
    stop.request_stop();
    EXPECT_EQ(errorOf<AuthAPIError>(std::move(task)), AuthAPIError::network(CancellationError().errorDescription()));
}

TEST_F(AuthAPITest, BaseWithoutPathGetsTheEndpointAppended)
{
    AuthAPI bare(QUrl(QStringLiteral("http://127.0.0.1:8080")), http);
    http->respond(200, envelope("{}"));
    runBlocking(bare.logout(QStringLiteral("rt")));
    EXPECT_EQ(http->requests().last().url, QUrl(QStringLiteral("http://127.0.0.1:8080/v1/api.json")));
}

} // namespace
