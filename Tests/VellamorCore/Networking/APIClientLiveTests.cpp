#include "Networking/APIClient.h"

#include "Support/Async/RunBlocking.h"
#include "Support/Json/JsonReader.h"

#include "LiveServerFixture.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellamor;
using devbackend::ApiCall;
using devbackend::ApiReply;
using devbackend::ScriptedAnswer;
using vellamor::test::LiveServerTest;

namespace {

// What the echo action answers, read with the client's key conversion.
struct Echo {
    QJsonObject data;
    QJsonObject headers;
    QString path;
    static Echo fromJson(const QJsonValue& value, const QString& path)
    {
        const JsonReader reader(json::readObject(value, path), path);
        return Echo{reader.optionalObject(u"data").value_or(JsonReader()).object(),
                    reader.requireObject(u"headers").object(), reader.requireString(u"path")};
    }
};

struct Greeting {
    QString displayName;
    QJsonValue toJson() const { return QJsonObject{{QStringLiteral("displayName"), displayName}}; }
};

struct Needed {
    QString value;
    static Needed fromJson(const QJsonValue& value, const QString& path)
    {
        return Needed{JsonReader(json::readObject(value, path), path).requireString(u"value")};
    }
};

class APIClientLive : public LiveServerTest {
protected:
    void SetUp() override
    {
        LiveServerTest::SetUp();
        server.registerAction(QStringLiteral("test.nothing"), [](const ApiCall&) { return ApiReply(); });
        owned = std::make_unique<APIClient>(server.baseURL(), session);
    }

    std::shared_ptr<AuthedSession> session = makeSession();
    std::unique_ptr<APIClient> owned;
    APIClient& client() { return *owned; }

    template<typename E, typename R>
    std::optional<E> errorOfCall(const QString& action)
    {
        try {
            runBlocking(client().call<R>(action, EmptyData()));
        } catch (const E& error) {
            return error;
        } catch (...) {
            ADD_FAILURE() << describeException(std::current_exception()).toStdString();
        }
        return std::nullopt;
    }

    void scriptReply(int status, const QByteArray& body)
    {
        ScriptedAnswer answer;
        answer.status = status;
        answer.body = body;
        answer.headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
        server.script(answer);
    }
};

TEST_F(APIClientLive, SendsHeadersTokenAndSnakeCasePayload)
{
    client().setAuthToken(QStringLiteral("tok-1"));
    const Echo echo = runBlocking(client().call<Echo>(QStringLiteral("echo"), Greeting{QStringLiteral("Ann")}));

    EXPECT_EQ(echo.path, QStringLiteral("/v1/api.json"));
    EXPECT_EQ(echo.headers.value(QStringLiteral("content-type")).toString(), QStringLiteral("application/json"));
    EXPECT_EQ(echo.headers.value(QStringLiteral("accept")).toString(), QStringLiteral("application/json"));
    EXPECT_EQ(echo.headers.value(QStringLiteral("authorization")).toString(), QStringLiteral("Bearer tok-1"));
    // sent as display_name, read back through the decoder's conversion
    EXPECT_EQ(server.requests().last().body, QByteArray(R"({"action":"echo","data":{"display_name":"Ann"}})"));
    EXPECT_EQ(echo.data.value(QStringLiteral("displayName")).toString(), QStringLiteral("Ann"));
}

TEST_F(APIClientLive, EmptyTokenStillSendsTheBearerPrefix)
{
    client().setAuthToken(QString());
    runBlocking(client().call<Echo>(QStringLiteral("echo"), EmptyData()));
    EXPECT_EQ(server.requests().last().header("Authorization"), QByteArray("Bearer "));

    client().setAuthToken(std::nullopt);
    runBlocking(client().call<Echo>(QStringLiteral("echo"), EmptyData()));
    EXPECT_FALSE(server.requests().last().header("Authorization").has_value());
}

TEST_F(APIClientLive, KeepsThePathOfTheBaseURL)
{
    APIClient prefixed(server.baseURL().resolved(QUrl(QStringLiteral("/prefix/"))), session);
    const Echo echo = runBlocking(prefixed.call<Echo>(QStringLiteral("echo"), EmptyData()));
    EXPECT_EQ(echo.path, QStringLiteral("/prefix/v1/api.json"));
}

TEST_F(APIClientLive, NonSuccessStatusIsUnexpectedStatusEvenWithAnEnvelope)
{
    scriptReply(401, R"({"code":40100,"msg":"unauthorized"})");
    const auto error = errorOfCall<VellamorTransportError, EmptyData>(QStringLiteral("echo"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, VellamorTransportError::unexpectedStatus(401));
}

TEST_F(APIClientLive, RefusalCarriesItsStringMap)
{
    scriptReply(200, R"({"code":42900,"msg":"slow down","data":{"retry_after":"30"}})");
    const auto error = errorOfCall<VellamorServiceError, Needed>(QStringLiteral("echo"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, VellamorServiceError(42900, QStringLiteral("slow down"),
                                           QMap<QString, QString>{{QStringLiteral("retry_after"), QStringLiteral("30")}}));
}

TEST_F(APIClientLive, UnknownActionIsTheServersRefusal)
{
    const auto error = errorOfCall<VellamorServiceError, EmptyData>(QStringLiteral("no.such.action"));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 40401);
    EXPECT_EQ(error->data(), std::nullopt);
}

TEST_F(APIClientLive, SuccessWithoutDataDependsOnTheReplyType)
{
    EXPECT_NO_THROW(runBlocking(client().call<EmptyData>(QStringLiteral("test.nothing"), EmptyData())));
    const auto error = errorOfCall<VellamorTransportError, Needed>(QStringLiteral("test.nothing"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, VellamorTransportError::decodingFailed(QStringLiteral("empty data for non-empty response type")));
}

TEST_F(APIClientLive, RefusedRedirectReachesTheClientAsItsStatus)
{
    ScriptedAnswer answer;
    answer.status = 302;
    answer.redirectTo = otherOrigin(QStringLiteral("/v1/api.json")).toString(QUrl::FullyEncoded);
    server.script(answer);
    const auto error = errorOfCall<VellamorTransportError, EmptyData>(QStringLiteral("echo"));
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, VellamorTransportError::unexpectedStatus(302));
    EXPECT_EQ(loggedWarnings().size(), 1);
}

} // namespace
