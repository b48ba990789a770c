#include "Networking/RemoteLogReader.h"

#include "Networking/RemoteLogReaderError.h"
#include "Support/Async/RunBlocking.h"

#include "DevAdminLog.h"
#include "ErrorOf.h"
#include "LiveServerFixture.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellamor;
using devbackend::DevAdminLog;
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

    RemoteLogReader::TailResult read(std::optional<QString> token, int lines)
    {
        return runBlocking(RemoteLogReader::read(endpoint(), std::move(token), lines, session));
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
    // The most the client asks for is the most the server gives.
    EXPECT_EQ(read(QStringLiteral("ops-secret"), 9000).lines.size(), 2000);
}

TEST_F(LogReaderLive, TheServerRefusesOtherTokensAndAllWhenSwitchedOff)
{
    struct Case {
        QString configured;
        QString sent;
        RemoteLogReaderError expected;
    };
    const Case cases[] = {
        {QStringLiteral("ops-secret"), QStringLiteral("ops-secre"), RemoteLogReaderError::unauthorized()},
        {QStringLiteral("ops-secret"), QStringLiteral("ops-secret "), RemoteLogReaderError::unauthorized()},
        {QStringLiteral("ops-secret"), QStringLiteral("OPS-SECRET"), RemoteLogReaderError::unauthorized()},
        {QString(), QStringLiteral("anything"), RemoteLogReaderError::businessError(40300, QStringLiteral("admin access disabled"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent.toStdString());
        serve({QStringLiteral("x")}, c.configured);
        EXPECT_EQ(test::errorOf<RemoteLogReaderError>(RemoteLogReader::read(endpoint(), c.sent, 10, session)), c.expected);
    }
}

TEST_F(LogReaderLive, DefaultServerTailsItsOwnRequestRecord)
{
    // installDefaultActions ran in SetUp with the default token.
    const auto tail = read(DevAdminLog::defaultToken(), 5);
    EXPECT_TRUE(tail.exists);
    EXPECT_EQ(tail.lines, QStringList{QStringLiteral("POST /v1/api.json")});
}

} // namespace
