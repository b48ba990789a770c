#include "Logging/LogReader.h"

#include "Logging/LogReaderError.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Json/JsonError.h"

#include "DevAdminLog.h"
#include "ErrorOf.h"
#include "LiveServerFixture.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellamor;
using devbackend::DevAdminLog;
using devbackend::ScriptedAnswer;
using vellamor::test::LiveServerTest;

namespace {

class LogReaderLive : public LiveServerTest {
protected:
    QUrl endpoint() const { return local(QStringLiteral("/v1/api.json")); }

    void serve(QStringList lines, QString token = QStringLiteral("ops-secret"))
    {
        DevAdminLog::Options options;
        options.token = std::move(token);
        options.lines = std::move(lines);
        DevAdminLog::install(server, options);
    }

    LogReader::RemoteTailResult read(std::optional<QString> token, int lines)
    {
        return runBlocking(LogReader::readRemote(endpoint(), std::move(token), lines, session));
    }

    template<typename E>
    std::optional<E> errorOf(std::optional<QString> token, int lines = 10)
    {
        return test::errorOf<E>(LogReader::readRemote(endpoint(), std::move(token), lines, session));
    }

    std::shared_ptr<AuthedSession> session = makeSession();
};

TEST_F(LogReaderLive, TailOfTheServerLog)
{
    QStringList log;
    for (int i = 1; i <= 2500; ++i)
        log.append(QStringLiteral("第%1行").arg(i));
    serve(log);

    const auto three = read(QStringLiteral("ops-secret"), 3);
    EXPECT_TRUE(three.exists);
    EXPECT_EQ(three.path, QStringLiteral("/var/log/vellamor/devserver.log"));
    EXPECT_EQ(three.joined(), QStringLiteral("第2498行\n第2499行\n第2500行"));
    EXPECT_EQ(three.reason, std::nullopt);
    qint64 bytes = 0;
    for (const QString& line : log)
        bytes += line.toUtf8().size() + 1;
    EXPECT_EQ(three.totalBytes, bytes);

    // The client clamps, so the server never sees a count it would refuse.
    EXPECT_EQ(read(QStringLiteral("ops-secret"), 9000).lines.size(), 2000);
    EXPECT_EQ(read(QStringLiteral("ops-secret"), 0).lines, QStringList{QStringLiteral("第2500行")});

    ASSERT_FALSE(server.requests().isEmpty());
    EXPECT_EQ(server.requests().first().header("X-Admin-Token"), QByteArray("ops-secret"));
}

TEST_F(LogReaderLive, EmptyAndMissingLogs)
{
    serve({});
    const auto empty = read(QStringLiteral("ops-secret"), 10);
    EXPECT_TRUE(empty.exists);
    EXPECT_TRUE(empty.lines.isEmpty());
    EXPECT_EQ(empty.reason, QStringLiteral("log is empty"));

    DevAdminLog::Options missing;
    missing.token = QStringLiteral("ops-secret");
    missing.exists = false;
    DevAdminLog::install(server, missing);
    const auto absent = read(QStringLiteral("ops-secret"), 10);
    EXPECT_FALSE(absent.exists);
    EXPECT_EQ(absent.totalBytes, 0);
    EXPECT_EQ(absent.reason, QStringLiteral("log file not found"));
}

TEST_F(LogReaderLive, WrongTokenIsUnauthorized)
{
    serve({QStringLiteral("x")});
    for (const QString& token : {QStringLiteral("ops-secre"), QStringLiteral("ops-secret "), QStringLiteral("OPS-SECRET")}) {
        const auto error = errorOf<LogReaderError>(token);
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->errorDescription(), QStringLiteral("admin token 不匹配（401）"));
    }
}

TEST_F(LogReaderLive, MissingTokenNeverReachesTheServer)
{
    serve({QStringLiteral("x")});
    const auto error = errorOf<LogReaderError>(QString());
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, LogReaderError::missingToken());
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(LogReaderLive, BusinessErrorFromADisabledServer)
{
    serve({QStringLiteral("x")}, QString());
    const auto error = errorOf<LogReaderError>(QStringLiteral("anything"));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(*error, LogReaderError::businessError(40300, QStringLiteral("admin access disabled")));
    EXPECT_EQ(error->errorDescription(), QStringLiteral("业务错误 code=40300 msg=admin access disabled"));
}

TEST_F(LogReaderLive, OtherStatusesAndNonJsonAnswers)
{
    serve({QStringLiteral("x")});

    ScriptedAnswer gateway;
    gateway.status = 502;
    gateway.body = "bad gateway";
    server.script(gateway);
    const auto status = errorOf<LogReaderError>(QStringLiteral("ops-secret"));
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->errorDescription(), QStringLiteral("HTTP 状态码 502"));

    ScriptedAnswer html;
    html.body = "<html>maintenance</html>";
    server.script(html);
    const auto decoding = errorOf<JsonError>(QStringLiteral("ops-secret"));
    ASSERT_TRUE(decoding.has_value());
    EXPECT_EQ(decoding->kind(), JsonError::Kind::invalidJson);
}

TEST_F(LogReaderLive, DefaultServerTailsItsOwnRequestRecord)
{
    // installDefaultActions ran in SetUp with the default token.
    const auto tail = read(DevAdminLog::defaultToken(), 5);
    EXPECT_TRUE(tail.exists);
    EXPECT_EQ(tail.lines, QStringList{QStringLiteral("POST /v1/api.json")});
}

} // namespace
