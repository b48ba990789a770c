#include "Networking/AuthedSession.h"
#include "Support/Async/RunBlocking.h"

#include "LiveServerFixture.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QWebSocket>
#include <QWebSocketServer>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace vellamor;
using namespace std::chrono_literals;
using devbackend::ApiCall;
using devbackend::ApiReply;
using devbackend::DevHttpRequest;
using devbackend::ScriptedAnswer;
using vellamor::test::LiveServerTest;
using vellamor::test::waitUntil;

namespace {

class DevServerTest : public LiveServerTest {
protected:
    HTTPResult post(const QString& path, const QByteArray& body, const QString& method = QStringLiteral("POST"))
    {
        HTTPRequest request;
        request.url = local(path);
        request.method = method;
        request.body = body;
        request.headers.set(QStringLiteral("Content-Type"), QStringLiteral("application/json"));
        return runBlocking(session->data(request));
    }

    static QJsonObject object(const HTTPResult& result) { return QJsonDocument::fromJson(result.data).object(); }

    std::shared_ptr<AuthedSession> session = makeSession();
};

TEST_F(DevServerTest, AnswersEnvelopesAndRefusesWhatIsNotOne)
{
    server.registerAction(QStringLiteral("test.throws"),
                          [](const ApiCall&) -> ApiReply { throw std::runtime_error("boom"); });
    struct Case {
        const char* name;
        const char* method;
        const char* body;
        int status;
        qint64 code;
    };
    const Case cases[] = {
        {"echo", "POST", R"({"action":"echo","data":{"a":1}})", 200, 0},
        {"notJson", "POST", "nope", 400, 40001},
        {"noAction", "POST", R"({"data":{}})", 400, 40001},
        {"actionNotString", "POST", R"({"action":5})", 400, 40001},
        {"unknownAction", "POST", R"({"action":"nope"})", 200, 40401},
        {"handlerThrows", "POST", R"({"action":"test.throws"})", 500, 50000},
    };
    for (const Case& c : cases) {
        const HTTPResult result = post(QStringLiteral("/v1/api.json"), c.body, QString::fromLatin1(c.method));
        EXPECT_EQ(result.response.statusCode, c.status) << c.name;
        EXPECT_EQ(object(result).value(QStringLiteral("code")).toInteger(-1), c.code) << c.name;
        EXPECT_TRUE(object(result).value(QStringLiteral("msg")).isString()) << c.name;
    }
    EXPECT_EQ(post(QStringLiteral("/v1/api.json"), {}, QStringLiteral("GET")).response.statusCode, 405);
    EXPECT_EQ(post(QStringLiteral("/elsewhere"), {}).response.statusCode, 404);
}

TEST_F(DevServerTest, EchoReportsDataAndHeaders)
{
    const QJsonObject echo = echoed(post(QStringLiteral("/v1/api.json"), R"({"action":"echo","data":[1,"x"]})").data);
    EXPECT_EQ(echo.value(QStringLiteral("data")).toArray(), (QJsonArray{1, QStringLiteral("x")}));
    EXPECT_EQ(echo.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    EXPECT_EQ(echo.value(QStringLiteral("headers")).toObject().value(QStringLiteral("content-type")).toString(),
              QStringLiteral("application/json"));
    const QJsonObject noData = echoed(post(QStringLiteral("/v1/api.json"), R"({"action":"echo"})").data);
    EXPECT_TRUE(noData.value(QStringLiteral("data")).isNull());
}

TEST_F(DevServerTest, RegisteringAnActionAgainReplacesIt)
{
    server.registerAction(QStringLiteral("echo"), [](const ApiCall& call) {
        return ApiReply::failure(40300, call.bearerToken().value_or(QStringLiteral("none")), 403);
    });
    const HTTPResult result = post(QStringLiteral("/v1/api.json"), R"({"action":"echo"})");
    EXPECT_EQ(result.response.statusCode, 403);
    EXPECT_EQ(object(result).value(QStringLiteral("msg")).toString(), QStringLiteral("none"));
    EXPECT_FALSE(object(result).contains(QStringLiteral("data")));
}

TEST_F(DevServerTest, ScriptsOverHttpAnswerInOrderAndOnlyMatchingRequests)
{
    const QByteArray scripts = R"([
        {"action":"test.other","status":418,"body":"never"},
        {"path":"/v1/api.json","status":202,"json":{"code":7,"msg":"first"}},
        {"status":200,"body":"second","headers":{"X-Extra":"1"},"times":2}
    ])";
    EXPECT_EQ(object(post(QStringLiteral("/test/script"), scripts)).value(QStringLiteral("code")).toInteger(-1), 0);
    EXPECT_EQ(server.pendingScripts(), 3);

    const HTTPResult first = post(QStringLiteral("/v1/api.json"), R"({"action":"echo"})");
    EXPECT_EQ(first.response.statusCode, 202);
    EXPECT_EQ(object(first).value(QStringLiteral("msg")).toString(), QStringLiteral("first"));
    EXPECT_EQ(first.response.headers.value(QStringLiteral("content-type")), QStringLiteral("application/json"));
    for (int i = 0; i < 2; ++i) {
        const HTTPResult next = post(QStringLiteral("/anything"), {});
        EXPECT_EQ(next.data, QByteArray("second"));
        EXPECT_EQ(next.response.headers.value(QStringLiteral("x-extra")), QStringLiteral("1"));
    }
    EXPECT_EQ(server.pendingScripts(), 1); // only the action-bound one is left
    EXPECT_EQ(post(QStringLiteral("/v1/api.json"), R"({"action":"test.other"})").response.statusCode, 418);

    EXPECT_EQ(post(QStringLiteral("/test/script"), R"({"status":"x"})").response.statusCode, 400);
    server.script(ScriptedAnswer());
    post(QStringLiteral("/test/reset"), {});
    EXPECT_EQ(server.pendingScripts(), 0);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(DevServerTest, UpgradeRequestsAreHandedOverWithTheirHandshake)
{
    QWebSocketServer sockets(QStringLiteral("test"), QWebSocketServer::NonSecureMode);
    QObject::connect(&sockets, &QWebSocketServer::newConnection, &sockets, [&sockets] {
        QWebSocket* peer = sockets.nextPendingConnection();
        peer->setParent(&sockets);
        QObject::connect(peer, &QWebSocket::textMessageReceived, peer,
                         [peer](const QString& text) { peer->sendTextMessage(QStringLiteral("got ") + text); });
    });
    server.registerUpgrade(QStringLiteral("/v1/session"),
                           [&sockets](QTcpSocket* socket, const DevHttpRequest&) { sockets.handleConnection(socket); });

    QWebSocket client;
    QString received;
    QObject::connect(&client, &QWebSocket::connected, &client,
                     [&client] { client.sendTextMessage(QStringLiteral("hello")); });
    QObject::connect(&client, &QWebSocket::textMessageReceived, &client,
                     [&received](const QString& text) { received = text; });
    QUrl url = local(QStringLiteral("/v1/session"));
    url.setScheme(QStringLiteral("ws"));
    client.open(url);

    EXPECT_TRUE(waitUntil([&] { return !received.isEmpty(); }, 5s));
    EXPECT_EQ(received, QStringLiteral("got hello"));
    client.close();
}

TEST(DevServerExecutable, PrintsItsPortAndServes)
{
    QProcess process;
    process.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH), {QStringLiteral("--port"), QStringLiteral("0")});
    ASSERT_TRUE(process.waitForStarted(5000));
    QByteArray line;
    while (!line.contains('\n') && process.waitForReadyRead(5000))
        line += process.readAllStandardOutput();
    const auto match = QRegularExpression(QStringLiteral("\\Alistening on 127\\.0\\.0\\.1:([0-9]+)\n\\z"))
                           .match(QString::fromLatin1(line));
    ASSERT_TRUE(match.hasMatch()) << line.toStdString();

    HTTPRequest request = test::LiveServerTest::echoRequest(
        QUrl(QStringLiteral("http://127.0.0.1:") + match.captured(1) + QStringLiteral("/v1/api.json")));
    const HTTPResult result = runBlocking(AuthedSession().data(request));
    EXPECT_EQ(result.response.statusCode, 200);
    EXPECT_EQ(QJsonDocument::fromJson(result.data).object().value(QStringLiteral("code")).toInteger(-1), 0);

    process.terminate();
    EXPECT_TRUE(process.waitForFinished(5000));
}

TEST(DevServerExecutable, RejectsABadPort)
{
    QProcess process;
    process.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH), {QStringLiteral("--port"), QStringLiteral("70000")});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 2);
}

} // namespace
