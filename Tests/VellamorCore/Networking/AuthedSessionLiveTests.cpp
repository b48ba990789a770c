#include "Networking/AuthedSession.h"

#include "Models/NetworkError.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"

#include "ErrorOf.h"
#include "LiveServerFixture.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include <QElapsedTimer>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <array>

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

// The kind of NetworkError a call ends with; any other outcome fails the test.
std::optional<NetworkError::Kind> networkFailure(QCoro::Task<HTTPResult> call)
{
    const auto error = test::errorOf<NetworkError>(std::move(call));
    return error ? std::optional(error->kind()) : std::nullopt;
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
        HTTPRequest request = echoRequest(url);
        request.headers.set(QStringLiteral("Authorization"), QStringLiteral("Bearer secret"));
        request.headers.set(QStringLiteral("Cookie"), QStringLiteral("sid=1"));
        request.headers.set(QStringLiteral("x-VELLAMOR-trace"), QStringLiteral("t1"));
        request.headers.set(QStringLiteral("X-Admin-Token"), QStringLiteral("admin"));
        return request;
    }
};

TEST_F(AuthedSessionLive, SameOriginRedirectIsFollowedWithoutCredentials)
{
    struct Case {
        int status;
        const char* method;
        const char* followedMethod;
        bool keepsBody;
    };
    const std::array cases{
        Case{301, "POST", "GET", false},
        Case{302, "POST", "GET", false},
        Case{302, "PUT", "PUT", true},
        Case{303, "PUT", "GET", false},
        Case{307, "POST", "POST", true},
        Case{308, "POST", "POST", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.status << " after " << c.method);
        server.clearRequests();
        server.script(redirect(QStringLiteral("/start"), local(QStringLiteral("/next")), c.status));
        ScriptedAnswer next;
        next.path = QStringLiteral("/next");
        next.body = "done";
        server.script(next);
        HTTPRequest request = requestWithCredentials(local(QStringLiteral("/start")));
        request.method = QString::fromLatin1(c.method);

        const HTTPResult result = runBlocking(makeSession()->data(request));

        EXPECT_EQ(result.response.statusCode, 200);
        EXPECT_EQ(result.response.url, local(QStringLiteral("/next")));
        EXPECT_EQ(result.data, QByteArray("done"));
        ASSERT_EQ(server.requests().size(), 2);
        EXPECT_EQ(server.requests()[0].header("Authorization"), QByteArray("Bearer secret"));
        const auto& followed = server.requests()[1];
        EXPECT_EQ(followed.method, QString::fromLatin1(c.followedMethod));
        EXPECT_EQ(followed.body, c.keepsBody ? request.body : QByteArray());
        for (const char* removed : {"Authorization", "Cookie", "X-Vellamor-Trace"})
            EXPECT_FALSE(followed.header(removed)) << removed;
        EXPECT_EQ(followed.header("X-Admin-Token"), QByteArray("admin"));
    }
    EXPECT_TRUE(loggedWarnings().isEmpty());
}

TEST_F(AuthedSessionLive, CrossOriginRedirectIsRefusedAndLoggedWithTags)
{
    // The Location spells the host with capitals; its tag hashes it as spelled.
    ScriptedAnswer answer;
    answer.path = QStringLiteral("/start");
    answer.status = 302;
    answer.redirectTo =
        QStringLiteral("http://LocalHost:") + QString::number(server.port()) + QStringLiteral("/v1/api.json");
    answer.body = "moved";
    server.script(answer);

    const HTTPResult result =
        runBlocking(makeSession()->data(requestWithCredentials(local(QStringLiteral("/start")))));

    EXPECT_EQ(result.response.statusCode, 302);
    EXPECT_EQ(result.data, QByteArray("moved"));
    EXPECT_EQ(result.response.headers.value(QStringLiteral("location")), answer.redirectTo);
    EXPECT_EQ(server.requests().size(), 1);
    EXPECT_EQ(loggedWarnings(), QStringList{QStringLiteral("redirect blocked: from=host_12ca17 to=host_c202a3")});
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

    EXPECT_EQ(networkFailure(makeSession(limits)->data(echoRequest(local(QStringLiteral("/loop"))))),
              NetworkError::Kind::tooManyRedirects);
    EXPECT_EQ(server.requests().size(), 4);
}

TEST_F(AuthedSessionLive, ErrorStatusesAreResults)
{
    for (int status : {401, 404, 500, 503}) {
        SCOPED_TRACE(status);
        ScriptedAnswer answer;
        answer.status = status;
        answer.body = "busy";
        server.script(answer);
        const HTTPResult result =
            runBlocking(makeSession()->data(echoRequest(local(QStringLiteral("/v1/api.json")))));
        EXPECT_EQ(result.response.statusCode, status);
        EXPECT_EQ(result.data, QByteArray("busy"));
    }
}

// Every limit but the one under test, and the answer, lie past the hang
// ceiling: a client without that limit fails the test instead of timing out.
TEST_F(AuthedSessionLive, TimeLimitsAbortTheReplyAndThrowTimedOut)
{
    struct Case {
        const char* name;
        std::chrono::milliseconds idle;
        std::chrono::milliseconds whole;
        std::optional<std::chrono::milliseconds> requestTimeout;
    };
    const std::array cases{
        Case{"whole", 60s, 300ms, std::nullopt},
        Case{"idle", 300ms, 60s, std::nullopt},
        Case{"requestTimeoutReplacesIdle", 60s, 60s, 300ms},
        Case{"wholeBoundsALongRequestTimeout", 60s, 300ms, 60s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.script(delayed(90s));
        AuthedSession::Limits limits;
        limits.idle = c.idle;
        limits.whole = c.whole;
        HTTPRequest request = echoRequest(local(QStringLiteral("/v1/api.json")));
        request.timeout = c.requestTimeout;
        const int abandoned = server.abandonedCount();
        const qsizetype received = server.requests().size();

        QElapsedTimer clock;
        clock.start();
        EXPECT_EQ(networkFailure(makeSession(limits)->data(request)), NetworkError::Kind::timedOut);
        EXPECT_GE(clock.elapsed(), 250);
        // The aborted reply closes the connection while the answer is pending.
        // On a loaded machine the limit may run out before the request has
        // left; then the server has nothing to abandon.
        EXPECT_TRUE(waitUntil([&] {
            return server.abandonedCount() - abandoned == server.requests().size() - received;
        }));
    }
}

TEST_F(AuthedSessionLive, ArrivingBytesKeepTheIdleLimitAway)
{
    ScriptedAnswer slow;
    slow.body = QByteArray(60, 'x');
    slow.trickle = 100ms; // 6 s in all, and only a stall of nearly 5 s leaves a gap as long as the limit
    server.script(slow);
    AuthedSession::Limits limits;
    limits.idle = 5s;

    const HTTPResult result = runBlocking(makeSession(limits)->data(echoRequest(local(QStringLiteral("/x")))));
    EXPECT_EQ(result.data, QByteArray(60, 'x'));
}

TEST_F(AuthedSessionLive, WholeLimitCutsATricklingAnswer)
{
    ScriptedAnswer slow;
    slow.body = QByteArray(400, 'x'); // 100 s in all
    slow.trickle = 250ms;
    server.script(slow);
    AuthedSession::Limits limits;
    limits.idle = 60s;
    limits.whole = 400ms;

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(networkFailure(makeSession(limits)->data(echoRequest(local(QStringLiteral("/x"))))),
              NetworkError::Kind::timedOut);
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

    EXPECT_EQ(networkFailure(makeSession(limits)->data(echoRequest(local(QStringLiteral("/a"))))),
              NetworkError::Kind::timedOut);
}

TEST_F(AuthedSessionLive, CancellationAbortsTheReply)
{
    server.script(delayed(90s));
    std::stop_source stop;
    QObject::connect(&server, &devbackend::DevServer::requestReceived, [&stop] { stop.request_stop(); });

    EXPECT_THROW(runBlocking(makeSession()->data(echoRequest(local(QStringLiteral("/x"))), stop.get_token()),
                             test::hangCeiling),
                 CancellationError);
    EXPECT_TRUE(waitUntil([&] { return server.abandonedCount() == 1; }));
}

TEST_F(AuthedSessionLive, AlreadyCancelledCallSendsNothing)
{
    std::stop_source stop;
    stop.request_stop();
    const auto session = makeSession();
    EXPECT_THROW(
        runBlocking(session->data(echoRequest(local(QStringLiteral("/x"))), stop.get_token())), CancellationError);
    // A call made after it on the same session: once that is answered, the
    // cancelled one would have reached the server before it.
    runBlocking(session->data(echoRequest(local(QStringLiteral("/v1/api.json")))));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests().first().path, QStringLiteral("/v1/api.json"));
}

TEST_F(AuthedSessionLive, DroppedConnectionIsConnectionLost)
{
    ScriptedAnswer drop;
    drop.drop = true;
    drop.times = ScriptedAnswer::unlimited; // the stack may retry once on a fresh connection
    server.script(drop);
    EXPECT_EQ(networkFailure(makeSession()->data(echoRequest(local(QStringLiteral("/x"))))),
              NetworkError::Kind::connectionLost);
}

TEST_F(AuthedSessionLive, NobodyListeningIsCannotConnect)
{
    QTcpServer placeholder;
    ASSERT_TRUE(placeholder.listen(QHostAddress::LocalHost, 0));
    const quint16 port = placeholder.serverPort();
    placeholder.close();

    QUrl url(QStringLiteral("http://127.0.0.1/x"));
    url.setPort(port);
    EXPECT_EQ(networkFailure(makeSession()->data(echoRequest(url))), NetworkError::Kind::cannotConnect);
}

} // namespace
