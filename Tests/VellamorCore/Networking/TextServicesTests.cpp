#include "Networking/SessionFeedbackAPI.h"
#include "Networking/TextTransformAPI.h"

#include "Auth/AuthSession.h"
#include "Networking/NetworkError.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Json/JsonError.h"

#include "ErrorOf.h"
#include "QtPrinters.h"
#include "RecordingUnauthorizedHandler.h"
#include "TextServicesTestPrinters.h"
#include "ScriptedHTTPSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <ostream>

#include <limits>

using namespace vellamor;
using vellamor::test::errorOf;
using vellamor::test::RecordingUnauthorizedHandler;
using vellamor::test::ScriptedHTTPSession;

namespace {

const QUrl kBase(QStringLiteral("https://api.example.test/prefix"));

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

    std::shared_ptr<ScriptedHTTPSession> session = std::make_shared<ScriptedHTTPSession>();
    std::shared_ptr<TokenScript> tokens = std::make_shared<TokenScript>();
    std::shared_ptr<RecordingUnauthorizedHandler> handler = std::make_shared<RecordingUnauthorizedHandler>();
};

TEST_F(TextServicesTest, TransformRequestOnTheWire)
{
    tokens->tokens = {QStringLiteral("  blank-edged  ")};
    session->respond(200, R"({"code":0,"msg":"ok","data":{"transformed_text":"你好 世界","mode":"polish",)"
                          R"("provider":"p","latency_ms":12,"session_id":"S-1"}})");
    auto client = transformClient();
    const auto response = runBlocking(client.transform(sampleTransform()));
    EXPECT_EQ(response, (TextTransformResponse{QStringLiteral("你好 世界"), QStringLiteral("polish"),
                                               QStringLiteral("p"), 12, QStringLiteral("S-1")}));

    ASSERT_EQ(session->requests().size(), 1);
    const HTTPRequest& request = session->requests().first();
    EXPECT_EQ(request.url, QUrl(QStringLiteral("https://api.example.test/prefix/v1/api.json")));
    EXPECT_EQ(request.method, QStringLiteral("POST"));
    EXPECT_EQ(request.timeout, std::chrono::milliseconds(30000));
    EXPECT_EQ(request.headers.value(QStringLiteral("Content-Type")), QStringLiteral("application/json"));
    EXPECT_EQ(request.headers.value(QStringLiteral("Accept")), QStringLiteral("application/json"));
    EXPECT_EQ(request.headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer   blank-edged  "));
    const QJsonObject expected{
        {QStringLiteral("action"), QStringLiteral("text.transform")},
        {QStringLiteral("data"),
         QJsonObject{{QStringLiteral("mode"), QStringLiteral("polish")},
                     {QStringLiteral("source_text"), QStringLiteral("  你好 世界 ")},
                     {QStringLiteral("instruction"), QString()},
                     {QStringLiteral("context"),
                      QJsonObject{{QStringLiteral("app_bundle_id"), QStringLiteral("org.gnome.TextEditor")},
                                  {QStringLiteral("scene"), QStringLiteral("chat")},
                                  {QStringLiteral("style"), QStringLiteral("casual")},
                                  {QStringLiteral("target_language"), QStringLiteral("en")}}},
                     {QStringLiteral("session_id"), QStringLiteral("S-1")}}},
    };
    EXPECT_EQ(QJsonDocument::fromJson(request.body).object(), expected);
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
    const QJsonObject expected{
        {QStringLiteral("action"), QStringLiteral("session.feedback")},
        {QStringLiteral("data"), QJsonObject{{QStringLiteral("session_id"), QStringLiteral("S-1")},
                                             {QStringLiteral("rating"), QStringLiteral("5")},
                                             {QStringLiteral("issue_types"), QJsonArray()},
                                             {QStringLiteral("comment"), QString()},
                                             {QStringLiteral("expected_text"), QStringLiteral("期望")}}},
    };
    EXPECT_EQ(QJsonDocument::fromJson(request.body).object(), expected);
}

TEST_F(TextServicesTest, TokenIsFetchedAnewForEveryCall)
{
    tokens->tokens = {QStringLiteral("first"), QStringLiteral("second"), std::nullopt};
    const QByteArray ok = R"({"code":0,"msg":"ok","data":{"ok":false}})";
    session->respond(200, ok).respond(200, ok);
    auto client = feedbackClient();
    EXPECT_FALSE(runBlocking(client.submitFeedback(sampleFeedback())).ok);
    EXPECT_FALSE(runBlocking(client.submitFeedback(sampleFeedback())).ok);
    EXPECT_EQ(errorOf<SessionFeedbackAPIError>(client.submitFeedback(sampleFeedback())),
              SessionFeedbackAPIError::network(QStringLiteral("未登录")));
    EXPECT_EQ(tokens->asked, 3);
    ASSERT_EQ(session->requests().size(), 2);
    EXPECT_EQ(session->requests()[0].headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer first"));
    EXPECT_EQ(session->requests()[1].headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer second"));
}

TEST_F(TextServicesTest, NoOrEmptyTokenFailsBeforeAnyRequest)
{
    tokens->tokens = {std::nullopt, QString(), std::nullopt, QString()};
    auto transform = transformClient();
    auto feedback = feedbackClient();
    for (int i = 0; i < 2; ++i) {
        const auto transformError = errorOf<TextTransformAPIError>(transform.transform(sampleTransform()));
        EXPECT_EQ(transformError, TextTransformAPIError::network(QStringLiteral("未登录")));
        const auto feedbackError = errorOf<SessionFeedbackAPIError>(feedback.submitFeedback(sampleFeedback()));
        EXPECT_EQ(feedbackError, SessionFeedbackAPIError::network(QStringLiteral("未登录")));
    }
    TextTransformAPI withoutProvider(kBase, session, AccessTokenProvider(), handler);
    EXPECT_EQ(errorOf<TextTransformAPIError>(withoutProvider.transform(sampleTransform())),
              TextTransformAPIError::network(QStringLiteral("未登录")));
    EXPECT_TRUE(session->requests().isEmpty());
    EXPECT_EQ(handler->started, 0);
}

TEST_F(TextServicesTest, AnswerWithoutHttpStatusIsInvalid)
{
    tokens->tokens = {QStringLiteral("t"), QStringLiteral("t")};
    session->respondNonHTTP(R"({"code":0,"msg":"ok","data":{"ok":true}})").respondNonHTTP("{}");
    auto feedback = feedbackClient();
    auto transform = transformClient();
    EXPECT_EQ(errorOf<SessionFeedbackAPIError>(feedback.submitFeedback(sampleFeedback())),
              SessionFeedbackAPIError::network(QStringLiteral("无效响应")));
    EXPECT_EQ(errorOf<TextTransformAPIError>(transform.transform(sampleTransform())),
              TextTransformAPIError::network(QStringLiteral("无效响应")));
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

TEST_F(TextServicesTest, SignOutIsAwaitedBeforeTheErrorIsThrown)
{
    tokens->tokens = {QStringLiteral("t"), QStringLiteral("t")};
    session->respond(401, "").respond(200, R"({"code":40102,"msg":"revoked"})");
    auto transform = transformClient();
    EXPECT_EQ(errorOf<TextTransformAPIError>(transform.transform(sampleTransform())),
              TextTransformAPIError::network(QStringLiteral("登录已过期")));
    // The recording handler only records after suspending: had the client
    // thrown without awaiting it, nothing would be recorded yet.
    EXPECT_EQ(handler->reasons, QList<AuthAPIError>{AuthAPIError::tokenInvalid()});
    EXPECT_EQ(errorOf<TextTransformAPIError>(transform.transform(sampleTransform())),
              TextTransformAPIError::network(QStringLiteral("登录已过期")));
    EXPECT_EQ(handler->reasons, (QList<AuthAPIError>{AuthAPIError::tokenInvalid(), AuthAPIError::tokenRevoked()}));
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

TEST_F(TextServicesTest, WithoutAHandlerTheSharedAuthSessionHearsTheReason)
{
    tokens->tokens = {QStringLiteral("t"), QStringLiteral("t")};
    session->respond(200, R"({"code":40101,"msg":"expired"})").respond(401, "");
    TextTransformAPI transform(kBase, session, providerFor(tokens));
    SessionFeedbackAPI feedback(kBase, session, providerFor(tokens));
    const auto& observer = AuthSession::shared()->publisher();

    EXPECT_EQ(errorOf<TextTransformAPIError>(transform.transform(sampleTransform())),
              TextTransformAPIError::network(QStringLiteral("登录已过期")));
    EXPECT_FALSE(observer->state().isAuthenticated());
    EXPECT_EQ(observer->lastBootstrapError(), AuthAPIError::tokenExpired());

    // A reason already showing would be kept; clear it so the next one shows.
    runBlocking(AuthSession::shared()->clearBootstrapError());
    EXPECT_EQ(errorOf<SessionFeedbackAPIError>(feedback.submitFeedback(sampleFeedback())),
              SessionFeedbackAPIError::network(QStringLiteral("登录已过期")));
    EXPECT_EQ(observer->lastBootstrapError(), AuthAPIError::tokenInvalid());
}

TEST(TextServiceErrors, DescriptionsAndEquality)
{
    struct TransformCase {
        TextTransformAPIError error;
        const char* text;
        const char* logForm;
    };
    const TransformCase transform[] = {
        {TextTransformAPIError::network(QStringLiteral("HTTP 404")), "网络异常：HTTP 404", R"(network("HTTP 404"))"},
        {TextTransformAPIError::server(50022, QStringLiteral("busy")), "服务异常 50022：busy",
         R"(server(code: 50022, message: "busy"))"},
        {TextTransformAPIError::quotaExhausted(QStringLiteral("今日已用完")), "当前额度已用完：今日已用完",
         R"(quotaExhausted("今日已用完"))"},
        {TextTransformAPIError::pointsBalanceExhausted(), "积分余额不足，请升级或购买积分包", "pointsBalanceExhausted"},
    };
    for (const auto& c : transform) {
        EXPECT_EQ(c.error.errorDescription(), QString::fromUtf8(c.text));
        EXPECT_EQ(c.error.debugDescription(), QString::fromUtf8(c.logForm));
    }
    EXPECT_NE(TextTransformAPIError::network(QStringLiteral("x")), TextTransformAPIError::quotaExhausted(QStringLiteral("x")));
    EXPECT_NE(TextTransformAPIError::server(1, QStringLiteral("x")), TextTransformAPIError::server(2, QStringLiteral("x")));

    EXPECT_EQ(SessionFeedbackAPIError::network(QStringLiteral("空响应")).errorDescription(), QStringLiteral("网络异常：空响应"));
    EXPECT_EQ(SessionFeedbackAPIError::server(42902, QStringLiteral("quota")).errorDescription(),
              QStringLiteral("服务异常 42902：quota"));
    EXPECT_EQ(SessionFeedbackAPIError::network(QStringLiteral("空响应")).debugDescription(),
              QStringLiteral("network(\"空响应\")"));
    EXPECT_EQ(SessionFeedbackAPIError::server(42902, QStringLiteral("quota")).debugDescription(),
              QStringLiteral("server(code: 42902, message: \"quota\")"));
    EXPECT_NE(SessionFeedbackAPIError::network(QStringLiteral("x")), SessionFeedbackAPIError::server(0, QStringLiteral("x")));
    EXPECT_NE(SessionFeedbackAPIError::network(QStringLiteral("a")), SessionFeedbackAPIError::network(QStringLiteral("b")));
}

TEST(TextServiceRecords, ReplyRecordsAreStrict)
{
    const QJsonObject full{{QStringLiteral("transformed_text"), QStringLiteral("t")},
                           {QStringLiteral("mode"), QStringLiteral("m")},
                           {QStringLiteral("provider"), QStringLiteral("p")},
                           {QStringLiteral("latency_ms"), QJsonValue(qint64(-9223372036854775807LL - 1))},
                           {QStringLiteral("session_id"), QStringLiteral("s")}};
    EXPECT_EQ(TextTransformResponse::fromJson(full, {}).latencyMs, std::numeric_limits<qint64>::min());
    for (const QString& key : full.keys()) {
        QJsonObject missing = full;
        missing.remove(key);
        EXPECT_THROW(TextTransformResponse::fromJson(missing, {}), JsonError) << key.toStdString();
        QJsonObject null = full;
        null.insert(key, QJsonValue::Null);
        EXPECT_THROW(TextTransformResponse::fromJson(null, {}), JsonError) << key.toStdString();
    }
    QJsonObject fraction = full;
    fraction.insert(QStringLiteral("latency_ms"), 1.5);
    EXPECT_THROW(TextTransformResponse::fromJson(fraction, {}), JsonError);

    const TextTransformRequest request = sampleTransform();
    EXPECT_EQ(TextTransformRequest::fromJson(request.toJson(), {}), request);
    SessionFeedbackRequest feedback = sampleFeedback();
    feedback.issueTypes = {QStringLiteral("wrong_word"), QStringLiteral("missing_punctuation")};
    EXPECT_EQ(SessionFeedbackRequest::fromJson(feedback.toJson(), {}), feedback);
    EXPECT_THROW(SessionFeedbackResponse::fromJson(QJsonObject{{QStringLiteral("ok"), 1}}, {}), JsonError);
}

} // namespace
