#include "Networking/SessionFeedbackAPI.h"
#include "Networking/TextTransformAPI.h"

#include "Networking/NetworkError.h"
#include "Support/Async/RunBlocking.h"

#include "DevTextServices.h"
#include "LiveServerFixture.h"
#include "QtPrinters.h"
#include "RecordingUnauthorizedHandler.h"
#include "TextServicesTestPrinters.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <ostream>

#include <variant>

using namespace vellamor;
using devbackend::DevTextServices;
using devbackend::ScriptedAnswer;
using vellamor::test::LiveServerTest;
using vellamor::test::RecordingUnauthorizedHandler;
using Fault = DevTextServices::Fault;

namespace {

TextTransformRequest transformRequest(const QString& mode, const QString& source)
{
    return TextTransformRequest{mode, source, QStringLiteral("keep names"),
                                TransformContext{QStringLiteral("org.kde.kate"), QStringLiteral("email"),
                                                 QStringLiteral("formal"), QStringLiteral("en")},
                                QStringLiteral("S-42")};
}

SessionFeedbackRequest feedbackRequest()
{
    return SessionFeedbackRequest{QStringLiteral("S-42"), QStringLiteral("2"),
                                  {QStringLiteral("wrong_word")}, QStringLiteral("名字错了"),
                                  QStringLiteral("张三")};
}

class TextServicesLive : public LiveServerTest {
protected:
    void SetUp() override
    {
        LiveServerTest::SetUp();
        services = DevTextServices::install(server);
    }

    AccessTokenProvider provider()
    {
        // A copy: QCoro 0.8 moves from a non-const lvalue given to co_return.
        return [this]() -> QCoro::Task<std::optional<QString>> { co_return std::optional<QString>(token); };
    }

    TextTransformAPI transformClient() { return TextTransformAPI(server.baseURL(), session, provider(), handler); }
    SessionFeedbackAPI feedbackClient() { return SessionFeedbackAPI(server.baseURL(), session, provider(), handler); }

    using TransformOutcome = std::variant<TextTransformResponse, TextTransformAPIError>;
    using FeedbackOutcome = std::variant<SessionFeedbackResponse, SessionFeedbackAPIError>;

    TransformOutcome transform(TextTransformRequest request = transformRequest(QStringLiteral("polish"), QStringLiteral("a  b")))
    {
        auto client = transformClient();
        try {
            return runBlocking(client.transform(std::move(request)));
        } catch (const TextTransformAPIError& error) {
            return error;
        }
    }

    FeedbackOutcome feedback()
    {
        auto client = feedbackClient();
        try {
            return runBlocking(client.submitFeedback(feedbackRequest()));
        } catch (const SessionFeedbackAPIError& error) {
            return error;
        }
    }

    void scriptJson(int status, const QByteArray& body)
    {
        ScriptedAnswer answer;
        answer.status = status;
        answer.body = body;
        answer.headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
        server.script(answer);
    }

    std::optional<QString> token = QStringLiteral("access-1");
    std::shared_ptr<AuthedSession> session = makeSession();
    std::shared_ptr<RecordingUnauthorizedHandler> handler = std::make_shared<RecordingUnauthorizedHandler>();
    std::shared_ptr<DevTextServices> services;
};

template<typename Variant, typename E>
std::optional<E> failureOf(const Variant& outcome)
{
    if (const E* error = std::get_if<E>(&outcome))
        return *error;
    return std::nullopt;
}

TEST_F(TextServicesLive, TransformsDeterministically)
{
    const auto polished = transform(transformRequest(QStringLiteral("polish"), QStringLiteral("  你好   世界 \n")));
    ASSERT_TRUE(std::holds_alternative<TextTransformResponse>(polished));
    EXPECT_EQ(std::get<TextTransformResponse>(polished),
              (TextTransformResponse{QStringLiteral("你好 世界"), QStringLiteral("polish"), QStringLiteral("devserver"), 11,
                                     QStringLiteral("S-42")}));

    const auto translated = transform(transformRequest(QStringLiteral("translate"), QStringLiteral("早上好")));
    ASSERT_TRUE(std::holds_alternative<TextTransformResponse>(translated)) << std::get<1>(translated).debugDescription().toStdString();
    EXPECT_EQ(std::get<TextTransformResponse>(translated).transformedText, QStringLiteral("[en] 早上好"));

    // Empty strings are sent as "" and accepted.
    const auto empty = transform(transformRequest(QString(), QString()));
    ASSERT_TRUE(std::holds_alternative<TextTransformResponse>(empty));
    EXPECT_EQ(std::get<TextTransformResponse>(empty).transformedText, QString());
    EXPECT_TRUE(handler->reasons.isEmpty());
}

TEST_F(TextServicesLive, TransformRefusalsFromTheServer)
{
    const QString expired = QStringLiteral("登录已过期");
    struct Case {
        const char* name;
        Fault fault;
        TextTransformAPIError expected;
        std::optional<AuthAPIError> reason;
    };
    const Case cases[] = {
        {"HTTP 401", Fault::http401(), TextTransformAPIError::network(expired), AuthAPIError::tokenInvalid()},
        {"40100", Fault::resultCode(40100, QStringLiteral("unauthorized")), TextTransformAPIError::network(expired),
         AuthAPIError::unauthorized()},
        {"40101", Fault::resultCode(40101, QStringLiteral("expired")), TextTransformAPIError::network(expired),
         AuthAPIError::tokenExpired()},
        {"40102", Fault::resultCode(40102, QStringLiteral("revoked")), TextTransformAPIError::network(expired),
         AuthAPIError::tokenRevoked()},
        {"40103", Fault::resultCode(40103, QStringLiteral("invalid")), TextTransformAPIError::network(expired),
         AuthAPIError::tokenInvalid()},
        {"40104 is ordinary", Fault::resultCode(40104, QStringLiteral("other")),
         TextTransformAPIError::server(40104, QStringLiteral("other")), std::nullopt},
        {"40099 is ordinary", Fault::resultCode(40099, QStringLiteral("near")),
         TextTransformAPIError::server(40099, QStringLiteral("near")), std::nullopt},
        {"points balance", Fault::quotaExhausted(QStringLiteral("points_balance")),
         TextTransformAPIError::pointsBalanceExhausted(), std::nullopt},
        {"quota without kind", Fault::quotaExhausted(std::nullopt),
         TextTransformAPIError::quotaExhausted(QStringLiteral("quota exhausted")), std::nullopt},
        {"other kind", Fault::quotaExhausted(QStringLiteral("daily_quota")),
         TextTransformAPIError::quotaExhausted(QStringLiteral("quota exhausted")), std::nullopt},
        {"kind differs in case", Fault::quotaExhausted(QStringLiteral("Points_Balance")),
         TextTransformAPIError::quotaExhausted(QStringLiteral("quota exhausted")), std::nullopt},
        {"non-string beside kind",
         Fault::resultCode(42902, QStringLiteral("用完了"),
                           QJsonObject{{QStringLiteral("kind"), QStringLiteral("points_balance")},
                                       {QStringLiteral("balance"), 0}}),
         TextTransformAPIError::quotaExhausted(QStringLiteral("用完了")), std::nullopt},
        {"null data", Fault::resultCode(42902, QStringLiteral("q"), QJsonValue(QJsonValue::Null)),
         TextTransformAPIError::quotaExhausted(QStringLiteral("q")), std::nullopt},
        {"upstream busy", Fault::resultCode(50022, QStringLiteral("busy")),
         TextTransformAPIError::server(50022, QStringLiteral("busy")), std::nullopt},
    };
    for (const auto& c : cases) {
        handler->reasons.clear();
        services->setFault(DevTextServices::transformAction, c.fault);
        const auto error = failureOf<TransformOutcome, TextTransformAPIError>(transform());
        ASSERT_TRUE(error.has_value()) << c.name;
        EXPECT_EQ(*error, c.expected) << c.name << ": " << error->debugDescription().toStdString();
        EXPECT_EQ(handler->reasons, c.reason ? QList<AuthAPIError>{*c.reason} : QList<AuthAPIError>())
            << c.name;
    }
    EXPECT_EQ(TextTransformAPIError::server(50022, QStringLiteral("busy")).errorDescription(),
              QStringLiteral("服务异常 50022：busy"));
}

TEST_F(TextServicesLive, TransformRepliesThatCannotBeUsed)
{
    const QString unparsable = QStringLiteral("响应解析失败");
    struct Case {
        const char* name;
        int status;
        QByteArray body;
        TextTransformAPIError expected;
        bool signsOut;
    };
    const Case cases[] = {
        {"401 with a success body", 401,
         R"({"code":0,"msg":"ok","data":{"transformed_text":"x","mode":"m","provider":"p","latency_ms":1,"session_id":"s"}})",
         TextTransformAPIError::network(QStringLiteral("登录已过期")), true},
        {"404", 404, "not here", TextTransformAPIError::network(QStringLiteral("HTTP 404")), false},
        {"503", 503, R"({"code":0,"msg":"ok"})", TextTransformAPIError::network(QStringLiteral("HTTP 503")), false},
        {"not JSON", 200, "<html/>", TextTransformAPIError::network(unparsable), false},
        {"code as text", 200, R"({"code":"0","msg":"ok"})", TextTransformAPIError::network(unparsable), false},
        {"no msg", 200, R"({"code":50000})", TextTransformAPIError::network(unparsable), false},
        {"data null", 200, R"({"code":0,"msg":"ok","data":null})", TextTransformAPIError::network(QStringLiteral("空响应")),
         false},
        {"data absent", 200, R"({"code":0,"msg":"ok"})", TextTransformAPIError::network(QStringLiteral("空响应")), false},
        {"latency missing", 200,
         R"({"code":0,"msg":"ok","data":{"transformed_text":"x","mode":"m","provider":"p","session_id":"s"}})",
         TextTransformAPIError::network(unparsable), false},
        {"latency as text", 200,
         R"({"code":0,"msg":"ok","data":{"transformed_text":"x","mode":"m","provider":"p","latency_ms":"1","session_id":"s"}})",
         TextTransformAPIError::network(unparsable), false},
        {"camelCase keys", 200,
         R"({"code":0,"msg":"ok","data":{"transformedText":"x","mode":"m","provider":"p","latencyMs":1,"sessionId":"s"}})",
         TextTransformAPIError::network(unparsable), false},
        {"refusal with unusable data", 200, R"({"code":40001,"msg":"bad","data":{"reason":3}})",
         TextTransformAPIError::server(40001, QStringLiteral("bad")), false},
    };
    for (const auto& c : cases) {
        handler->reasons.clear();
        scriptJson(c.status, c.body);
        const auto error = failureOf<TransformOutcome, TextTransformAPIError>(transform());
        ASSERT_TRUE(error.has_value()) << c.name;
        EXPECT_EQ(*error, c.expected) << c.name << ": " << error->debugDescription().toStdString();
        EXPECT_EQ(handler->reasons.size(), c.signsOut ? 1 : 0) << c.name;
    }
    EXPECT_EQ(TextTransformAPIError::network(QStringLiteral("HTTP 404")).errorDescription(),
              QStringLiteral("网络异常：HTTP 404"));
}

TEST_F(TextServicesLive, LatencyTakesTheWholeSigned64BitRange)
{
    for (const char* latency : {"9223372036854775807", "-9223372036854775808", "0"}) {
        scriptJson(200, QByteArray(R"({"code":0,"msg":"ok","data":{"transformed_text":"x","mode":"m",)")
                            + R"("provider":"p","latency_ms":)" + latency + R"(,"session_id":"s"}})");
        const auto outcome = transform();
        ASSERT_TRUE(std::holds_alternative<TextTransformResponse>(outcome)) << latency;
        EXPECT_EQ(std::get<TextTransformResponse>(outcome).latencyMs, QByteArray(latency).toLongLong());
    }
}

TEST_F(TextServicesLive, MissingOrEmptyTokenNeverReachesTheServer)
{
    for (const std::optional<QString>& missing : {std::optional<QString>(), std::optional<QString>(QString())}) {
        token = missing;
        EXPECT_EQ((failureOf<TransformOutcome, TextTransformAPIError>(transform())),
                  TextTransformAPIError::network(QStringLiteral("未登录")));
        EXPECT_EQ((failureOf<FeedbackOutcome, SessionFeedbackAPIError>(feedback())),
                  SessionFeedbackAPIError::network(QStringLiteral("未登录")));
    }
    EXPECT_TRUE(server.requests().isEmpty());
    EXPECT_EQ(handler->started, 0);
}

TEST_F(TextServicesLive, BlankTokenIsSentAsItIs)
{
    token = QStringLiteral("   ");
    ASSERT_TRUE(std::holds_alternative<TextTransformResponse>(transform()));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first().header("Authorization"), QByteArray("Bearer    "));
}

TEST_F(TextServicesLive, FeedbackIsDelivered)
{
    const auto outcome = feedback();
    ASSERT_TRUE(std::holds_alternative<SessionFeedbackResponse>(outcome));
    EXPECT_TRUE(std::get<SessionFeedbackResponse>(outcome).ok);
    ASSERT_EQ(services->feedbacks().size(), 1);
    const QJsonObject received = services->feedbacks().first();
    EXPECT_EQ(received.value(QStringLiteral("rating")), QJsonValue(QStringLiteral("2")));
    EXPECT_EQ(received.value(QStringLiteral("issue_types")), QJsonValue(QJsonArray{QStringLiteral("wrong_word")}));
    EXPECT_EQ(received.value(QStringLiteral("expected_text")), QJsonValue(QStringLiteral("张三")));
}

TEST_F(TextServicesLive, FeedbackRefusalsFromTheServer)
{
    const QString expired = QStringLiteral("登录已过期");
    struct Case {
        const char* name;
        Fault fault;
        SessionFeedbackAPIError expected;
        std::optional<AuthAPIError> reason;
    };
    const Case cases[] = {
        {"HTTP 401", Fault::http401(), SessionFeedbackAPIError::network(expired), AuthAPIError::tokenInvalid()},
        {"40100", Fault::resultCode(40100, QStringLiteral("u")), SessionFeedbackAPIError::network(expired),
         AuthAPIError::unauthorized()},
        {"40101", Fault::resultCode(40101, QStringLiteral("u")), SessionFeedbackAPIError::network(expired),
         AuthAPIError::tokenExpired()},
        {"40102", Fault::resultCode(40102, QStringLiteral("u")), SessionFeedbackAPIError::network(expired),
         AuthAPIError::tokenRevoked()},
        {"40103", Fault::resultCode(40103, QStringLiteral("u")), SessionFeedbackAPIError::network(expired),
         AuthAPIError::tokenInvalid()},
        {"40104", Fault::resultCode(40104, QStringLiteral("u")), SessionFeedbackAPIError::server(40104, QStringLiteral("u")),
         std::nullopt},
        {"quota is a server error", Fault::resultCode(42902, QStringLiteral("quota")),
         SessionFeedbackAPIError::server(42902, QStringLiteral("quota")), std::nullopt},
        {"points balance too", Fault::quotaExhausted(QStringLiteral("points_balance")),
         SessionFeedbackAPIError::network(QStringLiteral("响应解析失败")), std::nullopt},
        {"refusal whose data has no ok",
         Fault::resultCode(40001, QStringLiteral("bad"), QJsonObject{{QStringLiteral("reason"), QStringLiteral("x")}}),
         SessionFeedbackAPIError::network(QStringLiteral("响应解析失败")), std::nullopt},
        {"the same refusal without data", Fault::resultCode(40001, QStringLiteral("bad")),
         SessionFeedbackAPIError::server(40001, QStringLiteral("bad")), std::nullopt},
        {"sign-out code with unusable data",
         Fault::resultCode(40101, QStringLiteral("e"), QJsonObject{{QStringLiteral("ok"), QStringLiteral("no")}}),
         SessionFeedbackAPIError::network(QStringLiteral("响应解析失败")), std::nullopt},
    };
    for (const auto& c : cases) {
        handler->reasons.clear();
        services->setFault(DevTextServices::feedbackAction, c.fault);
        const auto error = failureOf<FeedbackOutcome, SessionFeedbackAPIError>(feedback());
        ASSERT_TRUE(error.has_value()) << c.name;
        EXPECT_EQ(*error, c.expected) << c.name << ": " << error->debugDescription().toStdString();
        EXPECT_EQ(handler->reasons, c.reason ? QList<AuthAPIError>{*c.reason} : QList<AuthAPIError>())
            << c.name;
    }
    EXPECT_TRUE(services->feedbacks().isEmpty());
}

TEST_F(TextServicesLive, FeedbackReplies)
{
    struct Case {
        const char* name;
        int status;
        QByteArray body;
        std::variant<SessionFeedbackResponse, SessionFeedbackAPIError> expected;
    };
    const Case cases[] = {
        {"ok false is an answer", 200, R"({"code":0,"msg":"ok","data":{"ok":false}})", SessionFeedbackResponse{false}},
        {"snake_case reply keys", 200, R"({"code":0,"msg":"ok","data":{"ok":true,"extra_field":1}})",
         SessionFeedbackResponse{true}},
        {"no data", 200, R"({"code":0,"msg":"ok"})", SessionFeedbackAPIError::network(QStringLiteral("空响应"))},
        {"null data", 200, R"({"code":0,"msg":"ok","data":null})",
         SessionFeedbackAPIError::network(QStringLiteral("空响应"))},
        {"ok as text", 200, R"({"code":0,"msg":"ok","data":{"ok":"true"}})",
         SessionFeedbackAPIError::network(QStringLiteral("响应解析失败"))},
        {"not JSON", 200, "ok", SessionFeedbackAPIError::network(QStringLiteral("响应解析失败"))},
        {"HTTP 500", 500, R"({"code":0,"msg":"ok","data":{"ok":true}})",
         SessionFeedbackAPIError::network(QStringLiteral("HTTP 500"))},
    };
    for (const auto& c : cases) {
        scriptJson(c.status, c.body);
        const auto outcome = feedback();
        EXPECT_EQ(outcome.index(), c.expected.index()) << c.name;
        if (outcome.index() != c.expected.index())
            continue;
        if (outcome.index() == 0) {
            EXPECT_EQ(std::get<0>(outcome), std::get<0>(c.expected)) << c.name;
        } else {
            EXPECT_EQ(std::get<1>(outcome), std::get<1>(c.expected)) << c.name;
        }
    }
    EXPECT_TRUE(handler->reasons.isEmpty());
}

TEST_F(TextServicesLive, FeedbackTimesOutAfterTenSecondsWithTheTransportsError)
{
    ScriptedAnswer slow;
    slow.delay = std::chrono::milliseconds(12000);
    slow.body = R"({"code":0,"msg":"ok","data":{"ok":true}})";
    server.script(slow);
    auto client = feedbackClient();
    const auto started = std::chrono::steady_clock::now();
    try {
        runBlocking(client.submitFeedback(feedbackRequest()), std::chrono::seconds(30));
        ADD_FAILURE() << "no time-out";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkError::Kind::timedOut);
    } catch (...) {
        ADD_FAILURE() << describeException(std::current_exception()).toStdString();
    }
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GE(elapsed, std::chrono::milliseconds(9900));
    EXPECT_LT(elapsed, std::chrono::milliseconds(11500));
}

} // namespace
