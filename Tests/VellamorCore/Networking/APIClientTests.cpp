#include "Networking/APIClient.h"

#include "Models/NetworkError.h"
#include "Networking/JsonCoding.h"
#include "Networking/JsonEncodingError.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"

#include "ErrorOf.h"
#include "NetworkingTestPrinters.h"
#include "QtPrinters.h"
#include "ScriptedHTTPSession.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <memory>

using namespace vellamor;
using vellamor::test::errorOf;
using vellamor::test::ScriptedHTTPSession;

namespace {

const char* const kOK = R"({"code":0,"msg":"ok"})";

class APIClientTest : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedHTTPSession> session = std::make_shared<ScriptedHTTPSession>();
    APIClient client{QUrl(QStringLiteral("https://api.example.test/api")), session};

    QCoro::Task<QJsonObject> fetch() { return client.call<QJsonObject>(QStringLiteral("model.list"), EmptyData()); }
    QCoro::Task<EmptyData> ping() { return client.call<EmptyData>(QStringLiteral("system.ping"), EmptyData()); }
};

// The base has a path without a trailing slash: resolving the endpoint
// against it instead of appending would drop "api".
TEST_F(APIClientTest, SendsOneEnvelopeWithSnakeCaseKeysAndReadsTheReplyBack)
{
    session->respond(200, R"({"code":0,"msg":"ok","data":{"display_name":"Ann","created_at":9007199254740993}})");
    const QJsonObject payload{{QStringLiteral("displayName"), QStringLiteral("Bo")},
                              {QStringLiteral("createdAt"), qint64(9007199254740993)}};
    const QJsonObject reply = runBlocking(client.call<QJsonObject>(QStringLiteral("profile.update"), payload));

    EXPECT_EQ(reply.value(QStringLiteral("displayName")), QJsonValue(QStringLiteral("Ann")));
    EXPECT_EQ(reply.value(QStringLiteral("createdAt")).toInteger(), 9007199254740993);
    ASSERT_EQ(session->requests().size(), 1);
    const HTTPRequest& request = session->requests()[0];
    EXPECT_EQ(request.url, QUrl(QStringLiteral("https://api.example.test/api/v1/api.json")));
    EXPECT_EQ(request.method, QStringLiteral("POST"));
    EXPECT_EQ(request.timeout, std::optional<std::chrono::milliseconds>(std::chrono::seconds(60)));
    EXPECT_EQ(request.headers.value(QStringLiteral("content-type")), QStringLiteral("application/json"));
    EXPECT_EQ(request.headers.value(QStringLiteral("accept")), QStringLiteral("application/json"));
    EXPECT_FALSE(request.headers.contains(QStringLiteral("Authorization")));
    EXPECT_EQ(request.body,
              QByteArray(R"({"action":"profile.update","data":{"created_at":9007199254740993,"display_name":"Bo"}})"));
}

TEST_F(APIClientTest, BearerHeaderFollowsTheStoredToken)
{
    struct Step {
        std::optional<QString> token;
        std::optional<QString> header;
    };
    const std::array steps{
        Step{QStringLiteral("abc"), QStringLiteral("Bearer abc")},
        Step{QString(), QStringLiteral("Bearer ")}, // an empty token is still sent
        Step{std::nullopt, std::nullopt},
        Step{QStringLiteral(" spaced "), QStringLiteral("Bearer  spaced ")},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.token.value_or(QStringLiteral("(none)")).toStdString());
        client.setAuthToken(step.token);
        session->respond(200, kOK);
        runBlocking(ping());
        EXPECT_EQ(session->requests().last().headers.value(QStringLiteral("Authorization")), step.header);
    }
}

TEST_F(APIClientTest, ReadsTheTokenOnceWhenTheRequestIsBuilt)
{
    client.setAuthToken(QStringLiteral("first"));
    session->respond(200, kOK).after(std::chrono::milliseconds(20));
    auto pending = ping();
    client.setAuthToken(QStringLiteral("second"));
    runBlocking(std::move(pending));
    ASSERT_EQ(session->requests().size(), 1);
    EXPECT_EQ(session->requests()[0].headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer first"));
}

TEST_F(APIClientTest, OnlyASuccessStatusHasItsBodyRead)
{
    const char* const models = R"({"code":0,"msg":"ok","trace":"t","data":{"models":[]}})";
    struct Case {
        std::optional<int> status; // none: an answer without HTTP status
        const char* body;
        std::optional<VellamorTransportError> error;
    };
    const std::array cases{
        Case{199, kOK, VellamorTransportError::unexpectedStatus(199)},
        Case{200, models, std::nullopt},
        Case{299, models, std::nullopt},
        Case{300, kOK, VellamorTransportError::unexpectedStatus(300)},
        Case{401, R"({"code":40100,"msg":"unauthorized"})", VellamorTransportError::unexpectedStatus(401)},
        Case{500, "oops", VellamorTransportError::unexpectedStatus(500)},
        Case{std::nullopt, kOK, VellamorTransportError::unexpectedStatus(-1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status.value_or(-1));
        if (c.status)
            session->respond(*c.status, c.body);
        else
            session->respondNonHTTP(c.body);
        if (c.error) {
            EXPECT_EQ(errorOf<VellamorTransportError>(fetch()), c.error);
        } else {
            EXPECT_TRUE(runBlocking(fetch()).contains(QStringLiteral("models")));
        }
    }
}

TEST_F(APIClientTest, RefusalThrowsTheServiceErrorWithStringDetailsOnly)
{
    struct Case {
        const char* body;
        std::optional<QMap<QString, QString>> details;
    };
    const std::array cases{
        Case{R"({"code":40100,"msg":"unauthorized"})", std::nullopt},
        Case{R"({"code":40100,"msg":"unauthorized","data":null})", std::nullopt},
        Case{R"({"code":40100,"msg":"unauthorized","data":{}})", std::nullopt},
        // a refusal wins over a payload that is no valid reply
        Case{R"({"code":40100,"msg":"unauthorized","data":5})", std::nullopt},
        Case{R"({"code":40100,"msg":"unauthorized","data":["a"]})", std::nullopt},
        Case{R"({"code":40100,"msg":"unauthorized","data":{"a":"x","b":1}})", std::nullopt},
        // detail keys stay as the server wrote them
        Case{R"({"code":40100,"msg":"unauthorized","data":{"retry_after":"30","why":"x"}})",
             QMap<QString, QString>{{QStringLiteral("retry_after"), QStringLiteral("30")},
                                    {QStringLiteral("why"), QStringLiteral("x")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        session->respond(200, c.body);
        const auto error = errorOf<VellamorServiceError>(fetch());
        ASSERT_TRUE(error);
        EXPECT_EQ(*error, VellamorServiceError(40100, QStringLiteral("unauthorized"), c.details));
    }
}

TEST_F(APIClientTest, MissingDataIsOnlyFineForEmptyData)
{
    for (const char* body : {kOK, R"({"code":0,"msg":"ok","data":null})"}) {
        SCOPED_TRACE(body);
        session->respond(200, body).respond(200, body);
        EXPECT_NO_THROW(runBlocking(ping()));
        EXPECT_EQ(errorOf<VellamorTransportError>(fetch()),
                  VellamorTransportError::decodingFailed(QStringLiteral("empty data for non-empty response type")));
    }
    for (const char* data : {"{}", "[1,2,3]", "5", "\"text\"", "true"}) {
        SCOPED_TRACE(data);
        session->respond(200, QByteArray(R"({"code":0,"msg":"ok","data":)") + data + "}");
        EXPECT_NO_THROW(runBlocking(ping()));
    }
}

TEST_F(APIClientTest, UndecodableReplyFailsWithTheDecodersDescription)
{
    struct Case {
        int status;
        const char* body;
        const char* detailContains;
    };
    const std::array cases{
        Case{204, "", "invalidJson("},
        Case{200, "<html>busy</html>", "invalidJson("},
        Case{200, R"({"code":"0","msg":"ok"})", R"(typeMismatch("expected integer at \"code\", found string"))"},
        Case{200, R"({"code":0.5,"msg":"ok"})", R"(notIntegral("expected integer at \"code\")"},
        Case{200, R"({"code":0,"msg":1})", R"(typeMismatch("expected string at \"msg\", found number"))"},
        Case{200, R"({"msg":"ok"})", R"(missingKey("expected integer at \"code\")"},
        Case{200, R"([1,2])", R"(typeMismatch("expected object at top level, found array"))"},
        Case{200, R"({"code":0,"msg":"ok","data":["a",2]})", R"(typeMismatch("expected string at \"data[1]\")"},
        Case{200, R"({"code":0,"msg":"ok","data":"text"})", R"(typeMismatch("expected array at \"data\")"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        session->respond(c.status, c.body);
        const auto error =
            errorOf<VellamorTransportError>(client.call<QList<QString>>(QStringLiteral("names.list"), EmptyData()));
        ASSERT_TRUE(error);
        EXPECT_EQ(error->kind(), VellamorTransportError::Kind::decodingFailed);
        EXPECT_TRUE(error->detail().contains(QString::fromLatin1(c.detailContains))) << error->detail().toStdString();
    }
}

TEST_F(APIClientTest, UnencodablePayloadIsNeverSent)
{
    const QJsonObject payload{{QStringLiteral("ratio"), std::nan("")}};
    EXPECT_EQ(errorOf<VellamorTransportError>(client.call<EmptyData>(QStringLiteral("stats.put"), payload)),
              VellamorTransportError::encodingFailed());
    EXPECT_TRUE(session->requests().isEmpty());
}

TEST(JsonText, RefusesNumbersJsonCannotSpellAtAnyDepth)
{
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity(),
                       -std::numeric_limits<double>::infinity()}) {
        const QJsonObject nested{{QStringLiteral("list"), QJsonArray{1, QJsonObject{{QStringLiteral("v"), bad}}}}};
        try {
            encodeJsonText(nested);
            ADD_FAILURE() << "encoded " << bad;
        } catch (const JsonEncodingError& error) {
            EXPECT_EQ(error.path(), QStringLiteral("list[1].v"));
        }
    }
    EXPECT_EQ(encodeJsonText(QJsonObject{{QStringLiteral("v"), 1.5}}), QByteArray(R"({"v":1.5})"));
}

TEST_F(APIClientTest, SessionErrorsPassThroughUnwrapped)
{
    session->fail(NetworkError(NetworkError::Kind::timedOut)).fail(CancellationError());
    const auto error = errorOf<NetworkError>(ping());
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), NetworkError::Kind::timedOut);
    EXPECT_TRUE(errorOf<CancellationError>(ping()));
}

TEST_F(APIClientTest, StopRequestEndsTheCallWithCancellation)
{
    session->respond(200, kOK).after(std::chrono::seconds(5));
    std::stop_source stop;
    auto pending = client.call<EmptyData>(QStringLiteral("system.ping"), EmptyData(), stop.get_token());
    stop.request_stop();
    EXPECT_THROW(runBlocking(std::move(pending), std::chrono::seconds(1)), CancellationError);
}

TEST_F(APIClientTest, CallOutlivesTheClient)
{
    auto owned = std::make_unique<APIClient>(QUrl(QStringLiteral("https://h/")), session);
    session->respond(200, R"({"code":0,"msg":"ok","data":{"models":[]}})").after(std::chrono::milliseconds(10));
    auto pending = owned->call<QJsonObject>(QStringLiteral("model.list"), EmptyData());
    owned.reset();
    EXPECT_TRUE(runBlocking(std::move(pending)).contains(QStringLiteral("models")));
}

} // namespace
