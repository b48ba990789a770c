#include "Networking/APIClient.h"

#include "Support/Async/RunBlocking.h"

#include "ErrorOf.h"
#include "LiveServerFixture.h"
#include "NetworkingTestPrinters.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellamor;
using devbackend::ScriptedAnswer;
using vellamor::test::errorOf;
using vellamor::test::LiveServerTest;

namespace {

using APIClientLive = LiveServerTest;

TEST_F(APIClientLive, SendsHeadersTokenAndSnakeCasePayloadBelowTheBasePath)
{
    APIClient client(server.baseURL().resolved(QUrl(QStringLiteral("/prefix/"))), makeSession());
    client.setAuthToken(QStringLiteral("tok-1"));
    const QJsonObject payload{{QStringLiteral("displayName"), QStringLiteral("Ann")}};
    const QJsonObject echo = runBlocking(client.call<QJsonObject>(QStringLiteral("echo"), payload));

    EXPECT_EQ(echo.value(QStringLiteral("path")).toString(), QStringLiteral("/prefix/v1/api.json"));
    const QJsonObject headers = echo.value(QStringLiteral("headers")).toObject();
    EXPECT_EQ(headers.value(QStringLiteral("content-type")).toString(), QStringLiteral("application/json"));
    EXPECT_EQ(headers.value(QStringLiteral("accept")).toString(), QStringLiteral("application/json"));
    EXPECT_EQ(headers.value(QStringLiteral("authorization")).toString(), QStringLiteral("Bearer tok-1"));
    EXPECT_EQ(server.requests().last().body, QByteArray(R"({"action":"echo","data":{"display_name":"Ann"}})"));
    EXPECT_EQ(echo.value(QStringLiteral("data")).toObject(), payload);
}

TEST_F(APIClientLive, RefusedRedirectReachesTheClientAsItsStatus)
{
    ScriptedAnswer answer;
    answer.status = 302;
    answer.redirectTo = otherOrigin(QStringLiteral("/v1/api.json")).toString(QUrl::FullyEncoded);
    server.script(answer);
    APIClient client(server.baseURL(), makeSession());
    EXPECT_EQ(errorOf<VellamorTransportError>(client.call<EmptyData>(QStringLiteral("echo"), EmptyData())),
              VellamorTransportError::unexpectedStatus(302));
    EXPECT_EQ(loggedWarnings().size(), 1);
    EXPECT_EQ(server.requests().size(), 1);
}

} // namespace
