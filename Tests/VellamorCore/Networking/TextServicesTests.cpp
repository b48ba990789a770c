#include "Networking/SessionFeedbackAPI.h"
#include "Networking/TextTransformAPI.h"

#include "Models/NetworkError.h"
#include "Support/Async/RunBlocking.h"

#include "ErrorOf.h"
#include "NetworkingTestPrinters.h"
#include "QtPrinters.h"
#include "RecordingUnauthorizedHandler.h"
#include "ScriptedHTTPSession.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

using namespace vellamor;
using vellamor::test::errorOf;
using vellamor::test::RecordingUnauthorizedHandler;
using vellamor::test::ScriptedHTTPSession;

namespace {

const QUrl kBase(QStringLiteral("https://api.example.test/prefix"));
const QString kExpired = QStringLiteral("登录已过期");
const QString kUnparsable = QStringLiteral("响应解析失败");
const QString kNoData = QStringLiteral("空响应");
// Stands for an answer that has no HTTP status at all.
constexpr int kNotHTTP = 0;

TextTransformRequest sampleTransform()
{
    return TextTransformRequest{QStringLiteral("polish"), QStringLiteral("  你好 世界 "), QString(),
                                TransformContext{QStringLiteral("org.gnome.TextEditor"), QStringLiteral("chat"),
                                                 QStringLiteral("casual"), QStringLiteral("en")},
                                QStringLiteral("S-1")};
}

SessionFeedbackRequest sampleFeedback()
{
    return SessionFeedbackRequest{QStringLiteral("S-1"), QStringLiteral("5"), {}, QString(), QStringLiteral("期望")};
}

// Hands out the scripted tokens in turn and counts how often it was asked.
struct TokenScript {
    QList<std::optional<QString>> tokens;
    int asked = 0;
};

AccessTokenProvider providerFor(std::shared_ptr<TokenScript> script)
{
    return [script]() -> QCoro::Task<std::optional<QString>> {
        const int index = script->asked++;
        co_return index < script->tokens.size() ? script->tokens[index] : std::nullopt;
    };
}

class TextServicesTest : public ::testing::Test {
protected:
    TextTransformAPI transformClient() { return TextTransformAPI(kBase, session, providerFor(tokens), handler); }
    SessionFeedbackAPI feedbackClient() { return SessionFeedbackAPI(kBase, session, providerFor(tokens), handler); }

    void reply(int status, const QByteArray& body)
    {
        if (status == kNotHTTP)
            session->respondNonHTTP(body);
        else
            session->respond(status, body);
    }

    // One table row: a fresh token "t", nobody signed out yet, the answer.
    void replyToRow(int status, const QByteArray& body)
    {
        tokens->tokens = {QStringLiteral("t")};
        tokens->asked = 0;
        handler->reasons.clear();
        handler->refusedTokens.clear();
        reply(status, body);
    }

    void expectSignedOutFor(const std::optional<AuthAPIError>& reason) const
    {
        EXPECT_EQ(handler->reasons, reason ? QList<AuthAPIError>{*reason} : QList<AuthAPIError>());
        EXPECT_EQ(handler->refusedTokens, reason ? QStringList{QStringLiteral("t")} : QStringList());
    }

    std::shared_ptr<ScriptedHTTPSession> session = std::make_shared<ScriptedHTTPSession>();
    std::shared_ptr<TokenScript> tokens = std::make_shared<TokenScript>();
    std::shared_ptr<RecordingUnauthorizedHandler> handler = std::make_shared<RecordingUnauthorizedHandler>();
};

TEST_F(TextServicesTest, TransformRequestOnTheWire)
{
    tokens->tokens = {QStringLiteral("  blank-edged  ")};
    session->respond(200, R"({"code":0,"msg":"ok","data":{"transformed_text":"你好 世界","mode":"polish",)"
                          R"("provider":"p","latency_ms":9223372036854775807,"session_id":"S-1"}})");
    auto client = transformClient();
    const auto response = runBlocking(client.transform(sampleTransform()));
    EXPECT_EQ(response, (TextTransformResponse{QStringLiteral("你好 世界"), QStringLiteral("polish"),
                                               QStringLiteral("p"), std::numeric_limits<qint64>::max(),
                                               QStringLiteral("S-1")}));

    ASSERT_EQ(session->requests().size(), 1);
    const HTTPRequest& request = session->requests().first();
    EXPECT_EQ(request.url, QUrl(QStringLiteral("https://api.example.test/prefix/v1/api.json")));
    EXPECT_EQ(request.method, QStringLiteral("POST"));
    EXPECT_EQ(request.timeout, std::chrono::milliseconds(30000));
    EXPECT_EQ(request.headers.value(QStringLiteral("Content-Type")), QStringLiteral("application/json"));
    EXPECT_EQ(request.headers.value(QStringLiteral("Accept")), QStringLiteral("application/json"));
    EXPECT_EQ(request.headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer   blank-edged  "));
    EXPECT_EQ(request.body, QByteArray(R"({"action":"text.transform","data":{"context":{)"
                                       R"("app_bundle_id":"org.gnome.TextEditor","scene":"chat","style":"casual",)"
                                       R"("target_language":"en"},"instruction":"","mode":"polish","session_id":"S-1",)"
                                       R"("source_text":"  你好 世界 "}})"));
}

TEST_F(TextServicesTest, FeedbackRequestOnTheWire)
{
    tokens->tokens = {QStringLiteral("tok")};
    session->respond(200, R"({"code":0,"msg":"ok","data":{"ok":true}})");
    auto client = feedbackClient();
    EXPECT_TRUE(runBlocking(client.submitFeedback(sampleFeedback())).ok);

    ASSERT_EQ(session->requests().size(), 1);
    const HTTPRequest& request = session->requests().first();
    EXPECT_EQ(request.url, QUrl(QStringLiteral("https://api.example.test/prefix/v1/api.json")));
    EXPECT_EQ(request.timeout, std::chrono::milliseconds(10000));
    EXPECT_EQ(request.headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer tok"));
    EXPECT_EQ(request.body, QByteArray(R"({"action":"session.feedback","data":{"comment":"",)"
                                       R"("expected_text":"期望","issue_types":[],"rating":"5","session_id":"S-1"}})"));
}

TEST_F(TextServicesTest, TokenIsFetchedForEveryCallAndWithoutOneNothingIsSent)
{
    const QString signedOut = QStringLiteral("未登录");
    // Tokens in call order: none and an empty one stop the call.
    tokens->tokens = {QStringLiteral("first"), std::nullopt, QString(),
                      QStringLiteral("second"), std::nullopt, QString()};
    const QByteArray ok = R"({"code":0,"msg":"ok","data":{"ok":false}})";
    session->respond(200, ok).respond(200, ok);
    auto feedback = feedbackClient();
    auto transform = transformClient();
    EXPECT_FALSE(runBlocking(feedback.submitFeedback(sampleFeedback())).ok);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(errorOf<SessionFeedbackAPIError>(feedback.submitFeedback(sampleFeedback())),
                  SessionFeedbackAPIError::network(signedOut));
    }
    EXPECT_FALSE(runBlocking(feedback.submitFeedback(sampleFeedback())).ok);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(errorOf<TextTransformAPIError>(transform.transform(sampleTransform())),
                  TextTransformAPIError::network(signedOut));
    }
    TextTransformAPI withoutProvider(kBase, session, AccessTokenProvider(), handler);
    EXPECT_EQ(errorOf<TextTransformAPIError>(withoutProvider.transform(sampleTransform())),
              TextTransformAPIError::network(signedOut));

    EXPECT_EQ(tokens->asked, 6);
    ASSERT_EQ(session->requests().size(), 2);
    EXPECT_EQ(session->requests()[0].headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer first"));
    EXPECT_EQ(session->requests()[1].headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer second"));
    EXPECT_EQ(handler->started, 0);
}

// The recording handler only records after suspending, so a reason that is
// already there when the error arrives proves the client awaited the
// sign-out before it threw.
TEST_F(TextServicesTest, TransformMapsEveryFailureAndSignsOutFirst)
{
    using E = TextTransformAPIError;
    struct Case {
        int status;
        const char* body;
        TextTransformAPIError expected;
        std::optional<AuthAPIError> signOut;
    };
    const std::array cases{
        Case{401, R"({"code":0,"msg":"ok"})", E::network(kExpired), AuthAPIError::tokenInvalid()},
        Case{200, R"({"code":40100,"msg":"u"})", E::network(kExpired), AuthAPIError::unauthorized()},
        Case{200, R"({"code":40103,"msg":"i"})", E::network(kExpired), AuthAPIError::tokenInvalid()},
        Case{200, R"({"code":40104,"msg":"other"})", E::server(40104, QStringLiteral("other")), std::nullopt},
        Case{200, R"({"code":40099,"msg":"near"})", E::server(40099, QStringLiteral("near")), std::nullopt},
        // the code is judged before the data is decoded
        Case{200, R"({"code":40001,"msg":"bad","data":{"reason":3}})", E::server(40001, QStringLiteral("bad")),
             std::nullopt},
        Case{200, R"({"code":42902,"msg":"q","data":{"kind":"points_balance"}})", E::pointsBalanceExhausted(),
             std::nullopt},
        Case{200, R"({"code":42902,"msg":"q"})", E::quotaExhausted(QStringLiteral("q")), std::nullopt},
        Case{200, R"({"code":42902,"msg":"q","data":{"kind":"daily_quota"}})", E::quotaExhausted(QStringLiteral("q")),
             std::nullopt},
        Case{200, R"({"code":42902,"msg":"q","data":{"kind":"Points_Balance"}})",
             E::quotaExhausted(QStringLiteral("q")), std::nullopt},
        Case{200, R"({"code":42902,"msg":"q","data":{"kind":"points_balance","balance":0}})",
             E::quotaExhausted(QStringLiteral("q")), std::nullopt},
        // below 400 a body is read whatever the status
        Case{399, R"({"code":50022,"msg":"busy"})", E::server(50022, QStringLiteral("busy")), std::nullopt},
        Case{400, R"({"code":0,"msg":"ok"})", E::network(QStringLiteral("HTTP 400")), std::nullopt},
        Case{kNotHTTP, R"({"code":0,"msg":"ok"})", E::network(QStringLiteral("无效响应")), std::nullopt},
        Case{200, "<html/>", E::network(kUnparsable), std::nullopt},
        Case{200, R"({"code":50000})", E::network(kUnparsable), std::nullopt},
        Case{200, R"({"code":0,"msg":"ok","data":{"transformedText":"x","mode":"m","provider":"p","latencyMs":1,)"
                  R"("sessionId":"s"}})",
             E::network(kUnparsable), std::nullopt},
        Case{200, R"({"code":0,"msg":"ok"})", E::network(kNoData), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.status << " " << c.body);
        replyToRow(c.status, c.body);
        auto client = transformClient();
        EXPECT_EQ(errorOf<TextTransformAPIError>(client.transform(sampleTransform())), c.expected);
        expectSignedOutFor(c.signOut);
    }
}

TEST_F(TextServicesTest, FeedbackMapsEveryFailureAndSignsOutFirst)
{
    using E = SessionFeedbackAPIError;
    struct Case {
        int status;
        const char* body;
        SessionFeedbackAPIError expected;
        std::optional<AuthAPIError> signOut;
    };
    const std::array cases{
        Case{401, R"({"code":0,"msg":"ok","data":{"ok":true}})", E::network(kExpired), AuthAPIError::tokenInvalid()},
        Case{200, R"({"code":40100,"msg":"u"})", E::network(kExpired), AuthAPIError::unauthorized()},
        Case{200, R"({"code":40103,"msg":"u"})", E::network(kExpired), AuthAPIError::tokenInvalid()},
        Case{200, R"({"code":40104,"msg":"u"})", E::server(40104, QStringLiteral("u")), std::nullopt},
        // the feedback client knows no quota refusal of its own
        Case{200, R"({"code":42902,"msg":"quota"})", E::server(42902, QStringLiteral("quota")), std::nullopt},
        // the whole reply is decoded before its code is judged
        Case{200, R"({"code":42902,"msg":"q","data":{"kind":"points_balance"}})", E::network(kUnparsable),
             std::nullopt},
        Case{200, R"({"code":40101,"msg":"e","data":{"ok":"no"}})", E::network(kUnparsable), std::nullopt},
        Case{200, R"({"code":0,"msg":"ok","data":{"ok":"true"}})", E::network(kUnparsable), std::nullopt},
        Case{200, "ok", E::network(kUnparsable), std::nullopt},
        Case{200, R"({"code":0,"msg":"ok"})", E::network(kNoData), std::nullopt},
        Case{500, R"({"code":0,"msg":"ok","data":{"ok":true}})", E::network(QStringLiteral("HTTP 500")), std::nullopt},
        Case{kNotHTTP, R"({"code":0,"msg":"ok","data":{"ok":true}})", E::network(QStringLiteral("无效响应")),
             std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.status << " " << c.body);
        replyToRow(c.status, c.body);
        auto client = feedbackClient();
        EXPECT_EQ(errorOf<SessionFeedbackAPIError>(client.submitFeedback(sampleFeedback())), c.expected);
        expectSignedOutFor(c.signOut);
    }
}

TEST_F(TextServicesTest, TransportErrorsPassThroughUnchanged)
{
    tokens->tokens = {QStringLiteral("t"), QStringLiteral("t")};
    session->fail(NetworkError(NetworkError::Kind::timedOut)).fail(CancellationError());
    auto transform = transformClient();
    auto feedback = feedbackClient();
    const auto timedOut = errorOf<NetworkError>(transform.transform(sampleTransform()));
    ASSERT_TRUE(timedOut.has_value());
    EXPECT_EQ(timedOut->kind(), NetworkError::Kind::timedOut);
    EXPECT_TRUE(errorOf<CancellationError>(feedback.submitFeedback(sampleFeedback())).has_value());
}

TEST_F(TextServicesTest, CallOutlivesItsClient)
{
    tokens->tokens = {QStringLiteral("t")};
    session->respond(200, R"({"code":0,"msg":"ok","data":{"ok":true}})").after(std::chrono::milliseconds(20));
    QCoro::Task<SessionFeedbackResponse> pending = [&] {
        auto client = std::make_unique<SessionFeedbackAPI>(kBase, session, providerFor(tokens), handler);
        return client->submitFeedback(sampleFeedback());
    }();
    EXPECT_TRUE(runBlocking(std::move(pending)).ok);
}

TEST(TextServiceErrors, UserTextsAndLogForms)
{
    struct Case {
        TextTransformAPIError error;
        const char* text;
        const char* logForm;
    };
    const std::array transform{
        Case{TextTransformAPIError::network(QStringLiteral("HTTP 404")), "网络异常：HTTP 404", R"(network("HTTP 404"))"},
        Case{TextTransformAPIError::server(50022, QStringLiteral("busy")), "服务异常 50022：busy",
             R"(server(code: 50022, message: "busy"))"},
        Case{TextTransformAPIError::quotaExhausted(QStringLiteral("今日已用完")), "当前额度已用完：今日已用完",
             R"(quotaExhausted("今日已用完"))"},
        Case{TextTransformAPIError::pointsBalanceExhausted(), "积分余额不足，请升级或购买积分包", "pointsBalanceExhausted"},
    };
    for (const Case& c : transform) {
        EXPECT_EQ(c.error.errorDescription(), QString::fromUtf8(c.text));
        EXPECT_EQ(c.error.debugDescription(), QString::fromUtf8(c.logForm));
    }

    const SessionFeedbackAPIError network = SessionFeedbackAPIError::network(QStringLiteral("空响应"));
    EXPECT_EQ(network.errorDescription(), QStringLiteral("网络异常：空响应"));
    EXPECT_EQ(network.debugDescription(), QStringLiteral("network(\"空响应\")"));
    const SessionFeedbackAPIError server = SessionFeedbackAPIError::server(42902, QStringLiteral("quota"));
    EXPECT_EQ(server.errorDescription(), QStringLiteral("服务异常 42902：quota"));
    EXPECT_EQ(server.debugDescription(), QStringLiteral("server(code: 42902, message: \"quota\")"));
}

} // namespace
