#include "Networking/RemoteLogReader.h"

#include "Models/NetworkError.h"
#include "Networking/RemoteLogReaderError.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Json/JsonError.h"

#include "ErrorOf.h"
#include "QtPrinters.h"
#include "ScriptedHTTPSession.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vellamor;
using vellamor::test::ScriptedHTTPSession;

namespace {

const QUrl kEndpoint(QStringLiteral("http://ops.example:8080/internal/v1/api.json"));

class LogReaderRemote : public ::testing::Test {
protected:
    QCoro::Task<RemoteLogReader::TailResult> read(std::optional<QString> token = QStringLiteral("t"), int lines = 10)
    {
        return RemoteLogReader::read(kEndpoint, std::move(token), lines, session);
    }

    std::shared_ptr<ScriptedHTTPSession> session = std::make_shared<ScriptedHTTPSession>();
};

TEST_F(LogReaderRemote, MissingOrEmptyTokenSendsNothing)
{
    EXPECT_EQ(test::errorOf<RemoteLogReaderError>(read(std::nullopt)), RemoteLogReaderError::missingToken());
    EXPECT_EQ(test::errorOf<RemoteLogReaderError>(read(QString())), RemoteLogReaderError::missingToken());
    EXPECT_TRUE(session->requests().isEmpty());
}

TEST_F(LogReaderRemote, RequestGoesToTheGivenEndpointWithClampedLines)
{
    const std::pair<int, int> counts[] = {{0, 1}, {-3, 1}, {1, 1}, {500, 500}, {2000, 2000}, {5000, 2000}};
    for (const auto& [asked, sent] : counts) {
        session->respond(200, R"({"code":0,"msg":"ok","data":{"exists":true}})");
        runBlocking(read(QStringLiteral(" tok "), asked));
        const QJsonObject expected{{QStringLiteral("action"), QStringLiteral("admin.tailLog")},
                                   {QStringLiteral("data"), QJsonObject{{QStringLiteral("lines"), sent}}}};
        EXPECT_EQ(QJsonDocument::fromJson(session->requests().last().body).object(), expected) << asked;
    }
    const HTTPRequest& request = session->requests().last();
    EXPECT_EQ(request.url, kEndpoint);
    EXPECT_EQ(request.method, QStringLiteral("POST"));
    EXPECT_EQ(request.timeout, std::chrono::milliseconds(60000));
    EXPECT_EQ(request.headers.value(QStringLiteral("Content-Type")), QStringLiteral("application/json"));
    EXPECT_EQ(request.headers.value(QStringLiteral("X-Admin-Token")), QStringLiteral(" tok "));
    EXPECT_FALSE(request.headers.contains(QStringLiteral("Authorization")));
}

TEST_F(LogReaderRemote, StatusAndEnvelopeRefusals)
{
    struct Case {
        std::optional<int> status; // none: not an HTTP answer
        QByteArray body;
        RemoteLogReaderError expected;
    };
    const Case cases[] = {
        {std::nullopt, "{}", RemoteLogReaderError::invalidResponse()},
        {401, R"({"code":0,"msg":"ok"})", RemoteLogReaderError::unauthorized()},
        {403, "forbidden", RemoteLogReaderError::httpStatus(403)},
        {500, "", RemoteLogReaderError::httpStatus(500)},
        {200, R"({"code":40300,"msg":"禁止","data":{"exists":false}})",
         RemoteLogReaderError::businessError(40300, QStringLiteral("禁止"))},
        {200, R"({"code":50000,"msg":"boom"})", RemoteLogReaderError::businessError(50000, QStringLiteral("boom"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        if (c.status)
            session->respond(*c.status, c.body);
        else
            session->respondNonHTTP(c.body);
        EXPECT_EQ(test::errorOf<RemoteLogReaderError>(read()), c.expected);
    }
}

TEST(RemoteLogReaderError, Texts)
{
    const std::pair<RemoteLogReaderError, QString> cases[] = {
        {RemoteLogReaderError::missingToken(), QStringLiteral("未找到 admin token（~/.vellamor/admin-token）")},
        {RemoteLogReaderError::unauthorized(), QStringLiteral("admin token 不匹配（401）")},
        {RemoteLogReaderError::httpStatus(403), QStringLiteral("HTTP 状态码 403")},
        {RemoteLogReaderError::businessError(40300, QStringLiteral("禁止")), QStringLiteral("业务错误 code=40300 msg=禁止")},
        {RemoteLogReaderError::invalidResponse(), QStringLiteral("响应格式异常")},
    };
    for (const auto& [error, text] : cases)
        EXPECT_EQ(error.errorDescription(), text);
}

TEST_F(LogReaderRemote, DecodingAndTransportErrorsPassThrough)
{
    const QByteArray undecodable[] = {
        "not json",
        R"({"msg":"ok"})",
        R"({"code":"0","msg":"ok"})",
        R"({"code":0,"msg":"ok","data":{"path":"/x"}})",
        R"({"code":0,"msg":"ok","data":{"exists":true,"total_bytes":"12"}})",
        R"({"code":0,"msg":"ok","data":{"exists":true,"lines":["a",3]}})",
        R"({"code":40300,"msg":"no","data":{"exists":"no"}})",
    };
    for (const QByteArray& body : undecodable) {
        SCOPED_TRACE(body.toStdString());
        session->respond(200, body);
        EXPECT_TRUE(test::errorOf<JsonError>(read()).has_value());
    }

    session->fail(NetworkError(NetworkError::Kind::timedOut));
    const auto error = test::errorOf<NetworkError>(read());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->kind(), NetworkError::Kind::timedOut);
}

TEST_F(LogReaderRemote, ResultFromData)
{
    struct Case {
        QByteArray body;
        RemoteLogReader::TailResult expected;
    };
    const Case cases[] = {
        {R"({"code":0,"msg":"ok"})", {}},
        {R"({"code":0,"msg":"ok","data":null})", {}},
        {R"({"code":0,"msg":"ok","data":{"exists":false,"reason":null}})", {}},
        {R"({"code":0,"msg":"ok","data":{"exists":true,"path":"/var/log/s.log","total_bytes":9007199254740993,)"
         R"("lines":["一","","three"],"reason":"r","extra":1}})",
         {true, QStringLiteral("/var/log/s.log"), 9007199254740993LL,
          {QStringLiteral("一"), QString(), QStringLiteral("three")}, QStringLiteral("r")}},
        {R"({"code":0,"msg":"ok","data":{"exists":false,"reason":"no such file"}})",
         {false, QString(), 0, {}, QStringLiteral("no such file")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        session->respond(200, c.body);
        EXPECT_EQ(runBlocking(read()), c.expected);
    }
}

} // namespace
