#include "AsrSessionEndpoint.h"
#include "Networking/AuthedSession.h"
#include "Support/Async/RunBlocking.h"

#include "LiveServerFixture.h"
#include "QtPrinters.h"

#include "WaitUntil.h"

#include <QDateTime>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QWebSocket>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <stdexcept>

using namespace vellamor;
using devbackend::ApiCall;
using devbackend::ApiReply;
using vellamor::test::LiveServerTest;
using vellamor::test::waitUntil;

namespace {

using DevServerTest = LiveServerTest;

// A started server process that does not answer in this long has hung.
const int processCeiling = static_cast<int>(test::hangCeiling.count());

TEST_F(DevServerTest, AnswersEnvelopesAndRefusesWhatIsNotOne)
{
    auto session = makeSession();
    const auto post = [&](const QString& path, const QByteArray& body, const QString& method) {
        HTTPRequest request = echoRequest(local(path));
        request.method = method;
        request.body = body;
        return runBlocking(session->data(request));
    };
    server.registerAction(QStringLiteral("test.throws"),
                          [](const ApiCall&) -> ApiReply { throw std::runtime_error("boom"); });
    struct Case {
        const char* body;
        int status;
        qint64 code;
    };
    const std::array cases{
        Case{R"({"action":"echo","data":{"a":1}})", 200, 0},
        Case{"nope", 400, 40001},
        Case{R"({"data":{}})", 400, 40001},
        Case{R"({"action":5})", 400, 40001},
        Case{R"({"action":"nope"})", 200, 40401},
        Case{R"({"action":"test.throws"})", 500, 50000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        const HTTPResult result = post(QStringLiteral("/v1/api.json"), c.body, QStringLiteral("POST"));
        EXPECT_EQ(result.response.statusCode, c.status);
        const QJsonObject reply = QJsonDocument::fromJson(result.data).object();
        EXPECT_EQ(reply.value(QStringLiteral("code")).toInteger(-1), c.code);
        EXPECT_TRUE(reply.value(QStringLiteral("msg")).isString());
    }
    EXPECT_EQ(post(QStringLiteral("/v1/api.json"), {}, QStringLiteral("GET")).response.statusCode, 405);
    EXPECT_EQ(post(QStringLiteral("/elsewhere"), {}, QStringLiteral("POST")).response.statusCode, 404);
}

TEST_F(DevServerTest, ScriptValuesThatDoNotFitTheirFieldAreRefused)
{
    auto session = makeSession();
    struct Case {
        const char* script;
        qint64 code;
    };
    const std::array cases{
        Case{R"({"status":599,"times":-1,"delay_ms":0,"trickle_ms":2147483647})", 0},
        Case{R"({"status":99})", 40001},
        Case{R"({"status":600})", 40001},
        Case{R"({"status":4294967496})", 40001},
        Case{R"({"times":0})", 40001},
        Case{R"({"times":-2})", 40001},
        Case{R"({"delay_ms":-1})", 40001},
        Case{R"({"delay_ms":2147483648})", 40001},
        Case{R"({"trickle_ms":2147483648})", 40001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        HTTPRequest request = echoRequest(local(devbackend::DevServer::testScriptPath));
        request.body = c.script;
        const HTTPResult result = runBlocking(session->data(request));
        EXPECT_EQ(QJsonDocument::fromJson(result.data).object().value(QStringLiteral("code")).toInteger(-1), c.code);
        server.clearScripts();
    }
}

TEST_F(DevServerTest, ScriptsAnswerInOrderEachAsOftenAsItWasScripted)
{
    auto session = makeSession();
    HTTPRequest scripts = echoRequest(local(devbackend::DevServer::testScriptPath));
    scripts.body = R"([{"action":"echo","status":503,"times":2},{"action":"echo","status":502}])";
    runBlocking(session->data(scripts));
    QList<int> statuses;
    for (int i = 0; i < 4; ++i)
        statuses.append(*runBlocking(session->data(echoRequest(local(QStringLiteral("/v1/api.json"))))).response.statusCode);
    EXPECT_EQ(statuses, (QList<int>{503, 503, 502, 200}));
}

// A user may leave the server running all day: what it keeps for tests is
// bounded and a reset lets go of it.
TEST_F(DevServerTest, KeepsTheNewestRequestsAndForgetsThemOnReset)
{
    auto session = makeSession();
    const qsizetype bound = devbackend::DevServer::maxRecordedRequests;
    for (int i = 0; i <= bound; ++i)
        runBlocking(session->data(echoRequest(local(QStringLiteral("/v1/api.json")), {{QStringLiteral("n"), i}})));
    ASSERT_EQ(server.requests().size(), bound);
    EXPECT_EQ(echoed(server.requests().first().body).value(QStringLiteral("n")).toInt(), 1);
    EXPECT_EQ(echoed(server.requests().last().body).value(QStringLiteral("n")).toInt(), bound);

    runBlocking(session->data(echoRequest(local(devbackend::DevServer::testResetPath))));
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(DevServerTest, KeepsTheNewestMessagesOfADictationAndCountsThemAll)
{
    auto* endpoint = devbackend::AsrSessionEndpoint::of(server);
    ASSERT_NE(endpoint, nullptr);
    QUrl url = server.baseURL();
    url.setScheme(QStringLiteral("ws"));
    url.setPath(devbackend::AsrSessionEndpoint::path);
    QWebSocket socket;
    socket.open(url);
    ASSERT_TRUE(waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
    socket.sendTextMessage(QStringLiteral(R"({"type":"start","lang":"zh","scene":"general","style":"default","polish":false})"));
    const int frames = devbackend::AsrSessionEndpoint::maxRecordedMessages + 10;
    for (int i = 0; i < frames; ++i)
        socket.sendBinaryMessage(QByteArray(640, static_cast<char>(i)));
    socket.sendTextMessage(QStringLiteral(R"({"type":"stop"})"));
    ASSERT_TRUE(waitUntil([&] { return !endpoint->sessions().empty() && endpoint->sessions().back()->stopFrames == 1; }));

    const auto& record = *endpoint->sessions().back();
    EXPECT_EQ(record.audioFrames, frames);
    ASSERT_EQ(record.received.size(), devbackend::AsrSessionEndpoint::maxRecordedMessages);
    EXPECT_EQ(record.received.last().text, QStringLiteral(R"({"type":"stop"})"));
    EXPECT_EQ(record.received.first().data, QByteArray(640, static_cast<char>(frames - record.received.size() + 1)));

    runBlocking(makeSession()->data(echoRequest(local(devbackend::DevServer::testResetPath))));
    EXPECT_TRUE(endpoint->sessions().empty());
}

TEST_F(DevServerTest, ClosesAConnectionThatStopsSendingItsRequest)
{
    server.setIdleTimeout(std::chrono::milliseconds(50));
    const QList<QByteArray> unfinished{
        "",
        "POST /v1/api.json HTTP/1.1\r\nHost: x\r\n",
        "POST /v1/api.json HTTP/1.1\r\nContent-Length: 10\r\n\r\n{\"a",
    };
    for (const QByteArray& sent : unfinished) {
        SCOPED_TRACE(sent.toStdString());
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(waitUntil([&] { return socket.state() == QAbstractSocket::ConnectedState; }));
        socket.write(sent);
        EXPECT_TRUE(waitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }));
    }
}

TEST(DevServerExecutable, PrintsItsPortAndServes)
{
    QProcess process;
    process.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH), {QStringLiteral("--port"), QStringLiteral("0")});
    ASSERT_TRUE(process.waitForStarted(processCeiling));
    QByteArray line;
    while (!line.contains('\n') && process.waitForReadyRead(processCeiling))
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
    EXPECT_TRUE(process.waitForFinished(processCeiling));
}

// Past its limit of open connections it turns the next ones away and goes on
// serving those it holds, then new ones once they closed. Out of
// descriptors, it would accept nothing ever again, and under the sanitizers
// their own checks fail.
TEST(DevServerExecutable, ServesOnPastItsConnectionLimit)
{
    QProcess process;
    process.setChildProcessModifier([] {
        const rlimit files { 96, 96 };
        setrlimit(RLIMIT_NOFILE, &files);
    });
    process.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH), { QStringLiteral("--port"), QStringLiteral("0") });
    ASSERT_TRUE(process.waitForStarted(processCeiling));
    QByteArray line;
    while (!line.contains('\n') && process.waitForReadyRead(processCeiling))
        line += process.readAllStandardOutput();
    const QString port = QString::fromLatin1(line).trimmed().section(u':', -1);
    ASSERT_FALSE(port.isEmpty()) << line.toStdString();

    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 110; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, port.toUShort());
    }
    ASSERT_TRUE(waitUntil([&] {
        return std::none_of(clients.begin(), clients.end(),
            [](const auto& client) { return client->state() == QAbstractSocket::ConnectingState; });
    }));
    QTcpSocket& first = *clients.front();
    first.write("GET /pair HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answered;
    EXPECT_TRUE(waitUntil([&] {
        answered += first.readAll();
        return answered.contains("\r\n\r\n");
    }));
    EXPECT_TRUE(answered.startsWith("HTTP/1.1 ")) << answered.left(80).toStdString();
    clients.clear();

    HTTPRequest request = test::LiveServerTest::echoRequest(
        QUrl(QStringLiteral("http://127.0.0.1:") + port + QStringLiteral("/v1/api.json")));
    EXPECT_EQ(runBlocking(AuthedSession().data(request)).response.statusCode, 200);
    EXPECT_EQ(process.state(), QProcess::Running) << process.readAllStandardError().toStdString();
    process.terminate();
    EXPECT_TRUE(process.waitForFinished(processCeiling));
}

// A clock outside the years 0001-9999 has no dates to answer with.
TEST(DevServerExecutable, RefusesAClockSkewBeyondFourDigitYears)
{
    struct Case {
        QString skew;
        bool starts;
    };
    // A code made at the clock's start expires 5 minutes later.
    const auto skewTo = [](const char* time) {
        return QString::number(QDateTime::currentDateTimeUtc().secsTo(QDateTime::fromString(QLatin1String(time), Qt::ISODate)));
    };
    const std::array cases {
        Case { QStringLiteral("315569520000"), false },
        Case { QStringLiteral("-70000000000"), false },
        Case { QStringLiteral("9223372036854775807"), false },
        Case { QStringLiteral("-9223372036854775808"), false },
        Case { skewTo("9999-12-31T23:58:00Z"), false },
        Case { QStringLiteral("-86400"), true },
        Case { skewTo("9999-12-31T23:00:00Z"), true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.skew.toStdString());
        QProcess process;
        process.start(QStringLiteral(VELLAMOR_DEVSERVER_PATH),
            { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--clock-skew"), c.skew });
        ASSERT_TRUE(process.waitForStarted(processCeiling));
        if (c.starts) {
            QByteArray printed;
            EXPECT_TRUE(waitUntil([&] {
                printed += process.readAllStandardOutput();
                return printed.startsWith("listening");
            }));
            process.terminate();
        }
        ASSERT_TRUE(process.waitForFinished(processCeiling));
        if (!c.starts) {
            EXPECT_EQ(process.exitCode(), 2);
            EXPECT_TRUE(process.readAllStandardError().contains("0001-9999"));
        }
    }
}

} // namespace
