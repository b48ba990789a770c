#include "Networking/AuthedSession.h"

#include "Networking/NetworkError.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"

#include "LiveServerFixture.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vellamor;
using namespace std::chrono_literals;
using devbackend::ScriptedAnswer;
using vellamor::test::LiveServerTest;
using vellamor::test::waitUntil;

namespace {

ScriptedAnswer redirect(const QString& path, const QUrl& target, int status)
{
    ScriptedAnswer answer;
    answer.path = path;
    answer.status = status;
    answer.redirectTo = target.toString(QUrl::FullyEncoded);
    answer.body = "moved";
    return answer;
}

ScriptedAnswer delayed(std::chrono::milliseconds delay)
{
    ScriptedAnswer answer;
    answer.delay = delay;
    answer.body = "late";
    return answer;
}

class AuthedSessionLive : public LiveServerTest {
protected:
    HTTPRequest requestWithCredentials(const QUrl& url) const
    {
        HTTPRequest request = echoRequest(url, QJsonObject{{QStringLiteral("note"), QStringLiteral("kept")}});
        request.headers.set(QStringLiteral("Authorization"), QStringLiteral("Bearer secret"));
        request.headers.set(QStringLiteral("Cookie"), QStringLiteral("sid=1"));
        request.headers.set(QStringLiteral("X-Vellamor-Device"), QStringLiteral("d1"));
        request.headers.set(QStringLiteral("x-VELLAMOR-trace"), QStringLiteral("t1"));
        request.headers.set(QStringLiteral("X-Admin-Token"), QStringLiteral("admin"));
        request.headers.set(QStringLiteral("Accept"), QStringLiteral("application/json"));
        return request;
    }
};

TEST_F(AuthedSessionLive, SameOriginRedirectIsFollowedWithoutCredentials)
{
    server.script(redirect(QStringLiteral("/start"), local(QStringLiteral("/v1/api.json")), 307));
    auto session = makeSession();

    const HTTPResult result = runBlocking(session->data(requestWithCredentials(local(QStringLiteral("/start")))));

    ASSERT_EQ(result.response.statusCode, 200);
    EXPECT_EQ(result.response.url, local(QStringLiteral("/v1/api.json")));
    const QJsonObject echo = echoed(result.data);
    const QJsonObject headers = echo.value(QStringLiteral("headers")).toObject();
    for (const char* removed : {"authorization", "cookie", "x-vellamor-device", "x-vellamor-trace"})
        EXPECT_FALSE(headers.contains(QString::fromLatin1(removed))) << removed;
    EXPECT_EQ(headers.value(QStringLiteral("x-admin-token")).toString(), QStringLiteral("admin"));
    EXPECT_EQ(headers.value(QStringLiteral("content-type")).toString(), QStringLiteral("application/json"));
    EXPECT_EQ(headers.value(QStringLiteral("accept")).toString(), QStringLiteral("application/json"));
    // 307 re-sends method and body
    EXPECT_EQ(echo.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    EXPECT_EQ(echo.value(QStringLiteral("data")).toObject().value(QStringLiteral("note")).toString(),
              QStringLiteral("kept"));

    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[0].header("Authorization"), QByteArray("Bearer secret"));
    EXPECT_TRUE(loggedWarnings().isEmpty());
}

TEST_F(AuthedSessionLive, SeeOtherContinuesAsGetWithoutBody)
{
    server.script(redirect(QStringLiteral("/start"), local(QStringLiteral("/next")), 303));
    ScriptedAnswer next;
    next.path = QStringLiteral("/next");
    next.body = "done";
    server.script(next);

    const HTTPResult result =
        runBlocking(makeSession()->data(requestWithCredentials(local(QStringLiteral("/start")))));

    EXPECT_EQ(result.response.statusCode, 200);
    EXPECT_EQ(result.data, QByteArray("done"));
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[1].method, QStringLiteral("GET"));
    EXPECT_TRUE(server.requests()[1].body.isEmpty());
    EXPECT_FALSE(server.requests()[1].header("Authorization"));
}

TEST_F(AuthedSessionLive, CrossOriginRedirectIsRefusedAndLoggedWithTags)
{
    // The Location spells the host with capitals; its tag hashes it as spelled.
    ScriptedAnswer answer;
    answer.path = QStringLiteral("/start");
    answer.status = 302;
    answer.redirectTo = QStringLiteral("http://LocalHost:") + QString::number(server.port()) + QStringLiteral("/v1/api.json");
    answer.body = "moved";
    server.script(answer);

    const HTTPResult result =
        runBlocking(makeSession()->data(requestWithCredentials(local(QStringLiteral("/start")))));

    EXPECT_EQ(result.response.statusCode, 302);
    EXPECT_EQ(result.data, QByteArray("moved"));
    EXPECT_EQ(result.response.headers.value(QStringLiteral("location")), answer.redirectTo);
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(loggedWarnings(), QStringList{QStringLiteral("redirect blocked: from=host_12ca17 to=host_c202a3")});
    ASSERT_EQ(systemLog->entries().size(), 1);
    EXPECT_EQ(systemLog->entries()[0].level, SystemLogLevel::Default);
    EXPECT_EQ(systemLog->entries()[0].category, QStringLiteral("authed-redirect"));
}

TEST_F(AuthedSessionLive, ChainIsJudgedHopByHop)
{
    server.script(redirect(QStringLiteral("/a"), local(QStringLiteral("/b")), 302));
    server.script(redirect(QStringLiteral("/b"), otherOrigin(QStringLiteral("/c")), 302));

    const HTTPResult result = runBlocking(makeSession()->data(echoRequest(local(QStringLiteral("/a")))));

    EXPECT_EQ(result.response.statusCode, 302);
    EXPECT_EQ(result.response.url, local(QStringLiteral("/b")));
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_EQ(loggedWarnings(), QStringList{QStringLiteral("redirect blocked: from=host_12ca17 to=host_49960d")});
}

TEST_F(AuthedSessionLive, EndlessRedirectsStopAtTheLimit)
{
    ScriptedAnswer loop = redirect(QStringLiteral("/loop"), local(QStringLiteral("/loop")), 307);
    loop.times = ScriptedAnswer::unlimited;
    server.script(loop);
    AuthedSession::Limits limits;
    limits.maxRedirects = 3;

    try {
        runBlocking(makeSession(limits)->data(echoRequest(local(QStringLiteral("/loop")))));
        FAIL() << "expected tooManyRedirects";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkError::Kind::tooManyRedirects);
    }
    EXPECT_EQ(server.requests().size(), 4);
}

TEST_F(AuthedSessionLive, ErrorStatusesAreResults)
{
    ScriptedAnswer answer;
    answer.status = 503;
    answer.body = "busy";
    server.script(answer);
    const HTTPResult result = runBlocking(makeSession()->data(echoRequest(local(QStringLiteral("/v1/api.json")))));
    EXPECT_EQ(result.response.statusCode, 503);
    EXPECT_EQ(result.data, QByteArray("busy"));
}

struct LimitCase {
    const char* name;
    std::chrono::milliseconds idle;
    std::chrono::milliseconds whole;
    std::optional<std::chrono::milliseconds> requestTimeout;
};

void PrintTo(const LimitCase& c, std::ostream* os)
{
    *os << c.name;
}

class AuthedSessionLimits : public LiveServerTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(AuthedSessionLimits, AbortTheReplyAndThrowTimedOut)
{
    server.script(delayed(5s));
    AuthedSession::Limits limits;
    limits.idle = GetParam().idle;
    limits.whole = GetParam().whole;
    HTTPRequest request = echoRequest(local(QStringLiteral("/v1/api.json")));
    request.timeout = GetParam().requestTimeout;

    QElapsedTimer clock;
    clock.start();
    try {
        runBlocking(makeSession(limits)->data(request), 10s);
        FAIL() << "expected a time-out";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkError::Kind::timedOut);
    }
    EXPECT_GE(clock.elapsed(), 250);
    EXPECT_LT(clock.elapsed(), 2500);
    // The aborted reply closes the connection while the answer is pending.
    EXPECT_TRUE(waitUntil([&] { return server.abandonedCount() == 1; }, 3s));
}

INSTANTIATE_TEST_SUITE_P(Limits, AuthedSessionLimits,
                         ::testing::Values(LimitCase{"whole", 20s, 300ms, std::nullopt},
                                           LimitCase{"idle", 300ms, 60s, std::nullopt},
                                           LimitCase{"requestTimeoutReplacesIdle", 20s, 60s, 300ms},
                                           LimitCase{"wholeBoundsALongRequestTimeout", 20s, 300ms, 30s}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AuthedSessionLive, ArrivingBytesKeepTheIdleLimitAway)
{
    ScriptedAnswer slow;
    slow.body = "0123456789";
    slow.trickle = 80ms; // about 0.8 s in all, never 300 ms without a byte
    server.script(slow);
    AuthedSession::Limits limits;
    limits.idle = 300ms;

    const HTTPResult result = runBlocking(makeSession(limits)->data(echoRequest(local(QStringLiteral("/x")))), 10s);
    EXPECT_EQ(result.data, QByteArray("0123456789"));
}

TEST_F(AuthedSessionLive, WholeLimitCutsATricklingAnswer)
{
    ScriptedAnswer slow;
    slow.body = "0123456789";
    slow.trickle = 80ms;
    server.script(slow);
    AuthedSession::Limits limits;
    limits.idle = 300ms;
    limits.whole = 400ms;

    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(runBlocking(makeSession(limits)->data(echoRequest(local(QStringLiteral("/x")))), 10s), NetworkError);
    EXPECT_GE(clock.elapsed(), 380); // the whole limit, not the idle one, ended it
}

TEST_F(AuthedSessionLive, WholeLimitSpansRedirectHops)
{
    ScriptedAnswer first = redirect(QStringLiteral("/a"), local(QStringLiteral("/b")), 307);
    first.delay = 250ms;
    server.script(first);
    ScriptedAnswer second;
    second.path = QStringLiteral("/b");
    second.delay = 250ms;
    server.script(second);
    AuthedSession::Limits limits;
    limits.whole = 400ms; // each hop alone fits, both together do not

    EXPECT_THROW(runBlocking(makeSession(limits)->data(echoRequest(local(QStringLiteral("/a")))), 10s), NetworkError);
}

TEST_F(AuthedSessionLive, CancellationAbortsTheReply)
{
    server.script(delayed(5s));
    std::stop_source stop;
    QTimer::singleShot(100ms, [&stop] { stop.request_stop(); });

    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(runBlocking(makeSession()->data(echoRequest(local(QStringLiteral("/x"))), stop.get_token()), 10s),
                 CancellationError);
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(waitUntil([&] { return server.abandonedCount() == 1; }, 3s));
}

TEST_F(AuthedSessionLive, AlreadyCancelledCallSendsNothing)
{
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(runBlocking(makeSession()->data(echoRequest(local(QStringLiteral("/x"))), stop.get_token())),
                 CancellationError);
    test::runEventLoopFor(50ms);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(AuthedSessionLive, DroppedConnectionIsConnectionLost)
{
    ScriptedAnswer drop;
    drop.drop = true;
    drop.times = ScriptedAnswer::unlimited; // the stack may retry once on a fresh connection
    server.script(drop);
    try {
        runBlocking(makeSession()->data(echoRequest(local(QStringLiteral("/x")))));
        FAIL() << "expected a network error";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkError::Kind::connectionLost) << error.debugDescription().toStdString();
    }
}

TEST_F(AuthedSessionLive, NobodyListeningIsCannotConnect)
{
    QTcpServer placeholder;
    ASSERT_TRUE(placeholder.listen(QHostAddress::LocalHost, 0));
    const quint16 port = placeholder.serverPort();
    placeholder.close();

    QUrl url(QStringLiteral("http://127.0.0.1/x"));
    url.setPort(port);
    try {
        runBlocking(makeSession()->data(echoRequest(url)));
        FAIL() << "expected a network error";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkError::Kind::cannotConnect) << error.debugDescription().toStdString();
    }
}

TEST_F(AuthedSessionLive, SharedSessionIsOneInstanceWithTheFixedLimits)
{
    const auto shared = AuthedSession::shared();
    EXPECT_EQ(shared, AuthedSession::shared());
    EXPECT_EQ(shared->limits().idle, 20s);
    EXPECT_EQ(shared->limits().whole, 60s);
    const HTTPResult result = runBlocking(shared->data(echoRequest(local(QStringLiteral("/v1/api.json")))));
    EXPECT_EQ(result.response.statusCode, 200);
}

} // namespace
