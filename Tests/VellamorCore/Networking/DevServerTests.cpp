#include "Networking/AuthedSession.h"
#include "Support/Async/RunBlocking.h"

#include "LiveServerFixture.h"
#include "QtPrinters.h"

#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

using namespace vellamor;
using devbackend::ApiCall;
using devbackend::ApiReply;
using vellamor::test::LiveServerTest;

namespace {

using DevServerTest = LiveServerTest;

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

} // namespace
