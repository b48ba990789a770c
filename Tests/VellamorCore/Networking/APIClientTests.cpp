#include "Networking/APIClient.h"

#include "Networking/NetworkError.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"
#include "Support/Json/JsonReader.h"

#include "QtPrinters.h"
#include "ScriptedHTTPSession.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

using namespace vellamor;
using vellamor::test::ScriptedHTTPSession;

namespace {

struct Model {
    QString name;
    QString model;
    bool active = false;
    static Model fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return Model{reader.requireString(u"name"), reader.requireString(u"model"), reader.requireBool(u"active")};
    }
};

struct ModelList {
    QList<Model> models;
    static ModelList fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return ModelList{JsonCoding<QList<Model>>::decode(reader.value(u"models"), reader.pathFor(u"models"))};
    }
};

struct ModelQuery {
    QString kind;
    QJsonValue toJson() const { return QJsonObject{{QStringLiteral("kind"), kind}}; }
};

// Multi-word fields: the client's coders turn them into snake_case and back.
struct Profile {
    QString displayName;
    qint64 createdAt = 0;
    QJsonValue toJson() const
    {
        return QJsonObject{{QStringLiteral("displayName"), displayName}, {QStringLiteral("createdAt"), createdAt}};
    }
    static Profile fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return Profile{reader.requireString(u"displayName"), reader.requireInt64(u"createdAt")};
    }
};

struct NotANumber {
    QJsonValue toJson() const { return QJsonObject{{QStringLiteral("ratio"), std::nan("")}}; }
};

template<typename E>
std::optional<E> errorOf(const std::function<void()>& body)
{
    try {
        body();
    } catch (const E& error) {
        return error;
    } catch (const std::exception& other) {
        ADD_FAILURE() << "unexpected exception: " << describeException(std::current_exception()).toStdString();
    }
    return std::nullopt;
}

class APIClientTest : public ::testing::Test {
protected:
    std::shared_ptr<ScriptedHTTPSession> session = std::make_shared<ScriptedHTTPSession>();
    APIClient client{QUrl(QStringLiteral("https://api.example.test/")), session};

    template<typename R, typename T>
    R call(const QString& action, T data)
    {
        return runBlocking(client.call<R>(action, std::move(data)));
    }

    void reply(int status, const char* body) { session->respond(status, QByteArray(body)); }

    std::optional<VellamorTransportError> transportErrorOf(const char* body, int status = 200)
    {
        reply(status, body);
        return errorOf<VellamorTransportError>([&] { call<ModelList>(QStringLiteral("model.list"), EmptyData()); });
    }
};

TEST_F(APIClientTest, SendsOneEnvelopeWithTheFixedHeadersAndReturnsTheReply)
{
    reply(200, R"({"code":0,"msg":"ok","data":{"models":[{"name":"Fast","model":"m-1","active":true}]}})");
    const ModelList list = call<ModelList>(QStringLiteral("model.list"), ModelQuery{QStringLiteral("llm")});

    ASSERT_EQ(list.models.size(), 1);
    EXPECT_EQ(list.models[0].name, QStringLiteral("Fast"));
    EXPECT_EQ(list.models[0].model, QStringLiteral("m-1"));
    EXPECT_TRUE(list.models[0].active);

    ASSERT_EQ(session->requests().size(), 1);
    const HTTPRequest& request = session->requests()[0];
    EXPECT_EQ(request.url, QUrl(QStringLiteral("https://api.example.test/v1/api.json")));
    EXPECT_EQ(request.method, QStringLiteral("POST"));
    EXPECT_EQ(request.timeout, std::optional<std::chrono::milliseconds>(std::chrono::seconds(60)));
    EXPECT_EQ(request.headers.value(QStringLiteral("content-type")), QStringLiteral("application/json"));
    EXPECT_EQ(request.headers.value(QStringLiteral("accept")), QStringLiteral("application/json"));
    EXPECT_FALSE(request.headers.contains(QStringLiteral("Authorization")));
    EXPECT_EQ(request.body, QByteArray(R"({"action":"model.list","data":{"kind":"llm"}})"));
}

TEST_F(APIClientTest, ConvertsMultiWordKeysBothWays)
{
    reply(200, R"({"code":0,"msg":"ok","data":{"display_name":"Ann","created_at":1714552200}})");
    const Profile profile = call<Profile>(QStringLiteral("profile.update"), Profile{QStringLiteral("Bo"), 7});
    EXPECT_EQ(profile.displayName, QStringLiteral("Ann"));
    EXPECT_EQ(profile.createdAt, 1714552200);
    EXPECT_EQ(QJsonDocument::fromJson(session->requests()[0].body).object(),
              (QJsonObject{{QStringLiteral("action"), QStringLiteral("profile.update")},
                           {QStringLiteral("data"), QJsonObject{{QStringLiteral("display_name"), QStringLiteral("Bo")},
                                                                {QStringLiteral("created_at"), 7}}}}));
}

struct BaseCase {
    const char* base;
    const char* expected;
};

void PrintTo(const BaseCase& c, std::ostream* os)
{
    *os << c.base;
}

class APIClientBaseURL : public ::testing::TestWithParam<BaseCase> {};

TEST_P(APIClientBaseURL, AppendsTheEndpointKeepingTheBasePath)
{
    auto session = std::make_shared<ScriptedHTTPSession>();
    session->respond(200, R"({"code":0,"msg":"ok"})");
    APIClient client(QUrl(QString::fromLatin1(GetParam().base)), session);
    runBlocking(client.call<EmptyData>(QStringLiteral("system.ping"), EmptyData()));
    EXPECT_EQ(session->requests()[0].url, QUrl(QString::fromLatin1(GetParam().expected)));
}

INSTANTIATE_TEST_SUITE_P(Bases, APIClientBaseURL,
                         ::testing::Values(BaseCase{"https://h", "https://h/v1/api.json"},
                                           BaseCase{"https://h/", "https://h/v1/api.json"},
                                           BaseCase{"https://h/api", "https://h/api/v1/api.json"},
                                           BaseCase{"https://h/api/", "https://h/api/v1/api.json"},
                                           BaseCase{"http://127.0.0.1:8080/x/y", "http://127.0.0.1:8080/x/y/v1/api.json"}));

TEST_F(APIClientTest, BearerHeaderFollowsTheStoredToken)
{
    struct Step {
        std::optional<QString> token;
        std::optional<QString> header;
    };
    const Step steps[] = {
        {QStringLiteral("abc"), QStringLiteral("Bearer abc")},
        {QString(), QStringLiteral("Bearer ")}, // an empty token is still sent
        {std::nullopt, std::nullopt},
        {QStringLiteral(" spaced "), QStringLiteral("Bearer  spaced ")},
    };
    for (const Step& step : steps) {
        client.setAuthToken(step.token);
        reply(200, R"({"code":0,"msg":"ok"})");
        call<EmptyData>(QStringLiteral("system.ping"), EmptyData());
        EXPECT_EQ(session->requests().last().headers.value(QStringLiteral("Authorization")), step.header);
    }
}

TEST_F(APIClientTest, ReadsTheTokenOnceWhenTheRequestIsBuilt)
{
    client.setAuthToken(QStringLiteral("first"));
    session->respond(200, R"({"code":0,"msg":"ok"})").after(std::chrono::milliseconds(20));
    auto pending = client.call<EmptyData>(QStringLiteral("system.ping"), EmptyData());
    client.setAuthToken(QStringLiteral("second"));
    runBlocking(std::move(pending));
    ASSERT_EQ(session->requests().size(), 1);
    EXPECT_EQ(session->requests()[0].headers.value(QStringLiteral("Authorization")), QStringLiteral("Bearer first"));
    EXPECT_EQ(client.authToken(), QStringLiteral("second"));
}

struct StatusCase {
    int status;
    const char* body;
};

void PrintTo(const StatusCase& c, std::ostream* os)
{
    *os << c.status;
}

class APIClientStatus : public APIClientTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(APIClientStatus, NonSuccessStatusFailsWithoutReadingTheBody)
{
    const auto error = transportErrorOf(GetParam().body, GetParam().status);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, VellamorTransportError::unexpectedStatus(GetParam().status));
}

INSTANTIATE_TEST_SUITE_P(Statuses, APIClientStatus,
                         ::testing::Values(StatusCase{401, R"({"code":40100,"msg":"unauthorized"})"},
                                           StatusCase{302, ""}, StatusCase{199, R"({"code":0,"msg":"ok"})"},
                                           StatusCase{300, R"({"code":0,"msg":"ok"})"}, StatusCase{500, "oops"},
                                           StatusCase{503, R"({"code":0,"msg":"ok","data":{"models":[]}})"}));

TEST_F(APIClientTest, EdgesOfTheSuccessRangeAreAccepted)
{
    for (int status : {200, 299}) {
        reply(status, R"({"code":0,"msg":"ok","data":{"models":[]}})");
        EXPECT_TRUE(call<ModelList>(QStringLiteral("model.list"), EmptyData()).models.isEmpty()) << status;
    }
}

TEST_F(APIClientTest, NonHTTPResponseIsStatusMinusOne)
{
    session->respondNonHTTP(R"({"code":0,"msg":"ok"})");
    const auto error =
        errorOf<VellamorTransportError>([&] { call<EmptyData>(QStringLiteral("system.ping"), EmptyData()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, VellamorTransportError::unexpectedStatus(-1));
}

struct RefusalCase {
    const char* name;
    const char* body;
    std::optional<QMap<QString, QString>> details;
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

class APIClientRefusal : public APIClientTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(APIClientRefusal, ThrowsTheServiceErrorWithStringDetailsOnly)
{
    reply(200, GetParam().body);
    const auto error =
        errorOf<VellamorServiceError>([&] { call<ModelList>(QStringLiteral("model.list"), EmptyData()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 40100);
    EXPECT_EQ(error->message(), QStringLiteral("unauthorized"));
    EXPECT_EQ(error->data(), GetParam().details);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, APIClientRefusal,
    ::testing::Values(
        RefusalCase{"noData", R"({"code":40100,"msg":"unauthorized"})", std::nullopt},
        RefusalCase{"nullData", R"({"code":40100,"msg":"unauthorized","data":null})", std::nullopt},
        RefusalCase{"emptyMap", R"({"code":40100,"msg":"unauthorized","data":{}})", std::nullopt},
        RefusalCase{"number", R"({"code":40100,"msg":"unauthorized","data":5})", std::nullopt},
        RefusalCase{"array", R"({"code":40100,"msg":"unauthorized","data":["a"]})", std::nullopt},
        RefusalCase{"mixedMap", R"({"code":40100,"msg":"unauthorized","data":{"a":"x","b":1}})", std::nullopt},
        RefusalCase{"stringMap", R"({"code":40100,"msg":"unauthorized","data":{"retry_after":"30","why":"x"}})",
                    QMap<QString, QString>{{QStringLiteral("retry_after"), QStringLiteral("30")},
                                           {QStringLiteral("why"), QStringLiteral("x")}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(APIClientTest, RefusalWinsOverAnUndecodablePayload)
{
    reply(200, R"({"code":42900,"msg":"slow down","data":{"models":"not a list"}})");
    const auto error =
        errorOf<VellamorServiceError>([&] { call<ModelList>(QStringLiteral("model.list"), EmptyData()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 42900);
}

TEST_F(APIClientTest, MissingDataIsOnlyFineForEmptyData)
{
    for (const char* body : {R"({"code":0,"msg":"ok"})", R"({"code":0,"msg":"ok","data":null})"}) {
        reply(200, body);
        EXPECT_NO_THROW(call<EmptyData>(QStringLiteral("system.ping"), EmptyData())) << body;

        const auto error = transportErrorOf(body);
        ASSERT_TRUE(error) << body;
        EXPECT_EQ(*error, VellamorTransportError::decodingFailed(QStringLiteral("empty data for non-empty response type")));
    }
}

TEST_F(APIClientTest, EmptyDataAcceptsAnyPresentPayload)
{
    reply(200, R"({"code":0,"msg":"ok","data":[1,2,3]})");
    EXPECT_NO_THROW(call<EmptyData>(QStringLiteral("system.ping"), EmptyData()));
}

struct UndecodableCase {
    const char* name;
    const char* body;
    int status;
    const char* detailContains;
};

void PrintTo(const UndecodableCase& c, std::ostream* os)
{
    *os << c.name;
}

class APIClientUndecodable : public APIClientTest, public ::testing::WithParamInterface<UndecodableCase> {};

TEST_P(APIClientUndecodable, FailsWithTheDecodersDescription)
{
    const auto error = transportErrorOf(GetParam().body, GetParam().status);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), VellamorTransportError::Kind::decodingFailed);
    EXPECT_TRUE(error->detail().contains(QString::fromLatin1(GetParam().detailContains)))
        << error->detail().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, APIClientUndecodable,
    ::testing::Values(
        UndecodableCase{"emptyBodyWith204", "", 204, "invalidJson("},
        UndecodableCase{"html", "<html>busy</html>", 200, "invalidJson("},
        UndecodableCase{"codeAsString", R"({"code":"0","msg":"ok"})", 200,
                        R"(typeMismatch("expected integer at \"code\", found string"))"},
        UndecodableCase{"codeAsFraction", R"({"code":0.5,"msg":"ok"})", 200, R"(notIntegral("expected integer at \"code\")"},
        UndecodableCase{"noMsg", R"({"code":0,"data":{}})", 200, R"(missingKey("expected string at \"msg\")"},
        UndecodableCase{"badPayload", R"({"code":0,"msg":"ok","data":{"models":[{"name":"x"}]}})", 200,
                        R"(missingKey("expected string at \"data.models[0].model\")"},
        UndecodableCase{"payloadOfWrongType", R"({"code":0,"msg":"ok","data":"text"})", 200,
                        R"(typeMismatch("expected object at \"data\", found string"))"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(APIClientTest, UnencodablePayloadIsNeverSent)
{
    const auto error =
        errorOf<VellamorTransportError>([&] { call<EmptyData>(QStringLiteral("stats.put"), NotANumber()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, VellamorTransportError::encodingFailed());
    EXPECT_TRUE(session->requests().isEmpty());
}

TEST_F(APIClientTest, SessionErrorsPassThroughUnwrapped)
{
    session->fail(NetworkError(NetworkError::Kind::timedOut));
    const auto error = errorOf<NetworkError>([&] { call<EmptyData>(QStringLiteral("system.ping"), EmptyData()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind(), NetworkError::Kind::timedOut);

    session->fail(CancellationError());
    EXPECT_TRUE(errorOf<CancellationError>([&] { call<EmptyData>(QStringLiteral("system.ping"), EmptyData()); }));
}

TEST_F(APIClientTest, StopRequestEndsTheCallWithCancellation)
{
    session->respond(200, R"({"code":0,"msg":"ok"})").after(std::chrono::seconds(5));
    std::stop_source stop;
    auto pending = client.call<EmptyData>(QStringLiteral("system.ping"), EmptyData(), stop.get_token());
    stop.request_stop();
    EXPECT_THROW(runBlocking(std::move(pending), std::chrono::seconds(1)), CancellationError);
}

TEST_F(APIClientTest, CallOutlivesTheClient)
{
    auto owned = std::make_unique<APIClient>(QUrl(QStringLiteral("https://h/")), session);
    session->respond(200, R"({"code":0,"msg":"ok","data":{"models":[]}})").after(std::chrono::milliseconds(10));
    auto pending = owned->call<ModelList>(QStringLiteral("model.list"), EmptyData());
    owned.reset();
    EXPECT_TRUE(runBlocking(std::move(pending)).models.isEmpty());
}

} // namespace
