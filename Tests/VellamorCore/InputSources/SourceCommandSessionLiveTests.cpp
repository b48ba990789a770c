#include "InputSources/SourceCommandSession.h"

#include "InputSources/InputSourceAPI.h"
#include "Settings/AppConfig.h"
#include "Support/Async/RunBlocking.h"

#include "DevInputSources.h"
#include "LiveServerFixture.h"
#include "ManualSteadyClock.h"
#include "QtPrinters.h"
#include "RecordingUnauthorizedHandler.h"
#include "SourceCommandEndpoint.h"
#include "WaitUntil.h"

#include <QWebSocket>

#include <gtest/gtest.h>

#include <array>

using namespace vellamor;
using namespace std::chrono_literals;
using devbackend::DevInputSources;
using devbackend::SourceCommandEndpoint;
using vellamor::test::afterQueuedCalls;
using vellamor::test::LiveServerTest;
using vellamor::test::ManualSteadyClock;
using vellamor::test::waitUntil;

namespace {

const QString kAccount = QStringLiteral("acct-1");
const QString kInsertFrame = QStringLiteral(R"({"type":"insert","text":"hi","source_id":7,"seq":1})");

QCoro::Task<void> restart(SourceCommandSession* session)
{
    co_await session->stop();
    co_await session->start();
}

class SourceCommandLive : public LiveServerTest {
protected:
    void SetUp() override
    {
        LiveServerTest::SetUp();
        sources = DevInputSources::of(server);
        endpoint = &sources->endpoint();
    }

    std::unique_ptr<SourceCommandSession> makeCommandSession(SourceCommandSession::Timing timing = {})
    {
        return std::make_unique<SourceCommandSession>(
            AppConfig::toWebSocketURL(server.baseURL()), provider,
            VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("source-cmd"), systemLog, nullptr),
            std::move(timing), clock.clock());
    }

    // The session's lines as "INFO …", "WARN …" or "ERROR …".
    QStringList lines() const
    {
        QStringList lines;
        for (const auto& entry : systemLog->entries()) {
            if (entry.category != u"source-cmd")
                continue;
            const QString tag = entry.level == SystemLogLevel::Info ? QStringLiteral("INFO ")
                : entry.level == SystemLogLevel::Error              ? QStringLiteral("ERROR ")
                                                                    : QStringLiteral("WARN ");
            lines.append(tag + entry.publicPart);
        }
        return lines;
    }

    QStringList linesStartingWith(const QString& prefix) const
    {
        QStringList matching;
        for (const QString& line : lines()) {
            if (line.startsWith(prefix))
                matching.append(line);
        }
        return matching;
    }

    bool accepted(std::size_t connections)
    {
        return waitUntil([&] { return endpoint->connections().size() == connections; });
    }

    // Moves the clock and waits until a task it woke has gone to sleep again
    // (a heartbeat after its tick, a reconnect's new heartbeat).
    void advance(std::chrono::milliseconds by)
    {
        const int begun = clock.sleepsBegun();
        clock.advance(by);
        EXPECT_TRUE(waitUntil([&] { return clock.sleepsBegun() > begun; }));
    }

    static SourceCommand next(SourceCommandStream stream)
    {
        const std::optional<SourceCommand> command = runBlocking(stream.next(), test::hangCeiling);
        EXPECT_TRUE(command.has_value());
        return command.value_or(SourceCommand::sourceUpdated(-1));
    }

    // Lets the tasks of sessions that are gone see their cancellation and end.
    void TearDown() override { afterQueuedCalls(); }

    ManualSteadyClock clock;
    std::shared_ptr<std::optional<QString>> token = std::make_shared<std::optional<QString>>(kAccount);
    AccessTokenProvider provider = [token = token]() -> QCoro::Task<std::optional<QString>> {
        co_return std::optional<QString>(*token);
    };
    DevInputSources* sources = nullptr;
    SourceCommandEndpoint* endpoint = nullptr;
};

TEST_F(SourceCommandLive, FramesBecomeCommandsAndTheOthersAreLoggedAndDropped)
{
    auto session = makeCommandSession();
    runBlocking(session->start());
    runBlocking(session->start());
    ASSERT_TRUE(accepted(1));

    struct Frame {
        QByteArray bytes;
        bool binary;
        QString line;
    };
    const std::array frames{
        Frame{kInsertFrame.toUtf8(), false, QStringLiteral("INFO source cmd received type=insert")},
        Frame{kInsertFrame.toUtf8(), true, QStringLiteral("INFO source cmd received type=insert")},
        Frame{R"({"type":"pairing_request","payload":{"source_id":8,"friendly_name":"Pixel","ip":"10.0.0.2",)"
              R"("ua_hash":"ab","expires_at":1772352942},"seq":"ignored"})",
              false, QStringLiteral("INFO source cmd received type=pairing_request")},
        Frame{R"({"type":"source_revoked","source_id":9})", false,
              QStringLiteral("INFO source cmd received type=source_revoked")},
        Frame{R"({"type":"insert","text":"hi"})", false,
              QStringLiteral("ERROR known type decode failed type=insert length=29")},
        Frame{R"({"type":"hello"})", false, QStringLiteral("WARN decode cmd failed type=hello length=16")},
        Frame{"not json", false, QStringLiteral("WARN decode cmd failed type=<nil> length=8")},
        Frame{R"({"type":5})", true, QStringLiteral("WARN decode cmd failed type=<nil> length=10")},
        Frame{R"({"type":"Insert","text":"hi","source_id":1,"seq":1})", false,
              QStringLiteral("WARN decode cmd failed type=Insert length=51")},
        Frame{R"({"type":"source_revoked","source_id":"9"})", false,
              QStringLiteral("ERROR known type decode failed type=source_revoked length=41")},
        Frame{R"({"type":"pairing_request","payload":{"source_id":8,"friendly_name":"P","ip":"i","expires_at":1}})",
              false, QStringLiteral("ERROR known type decode failed type=pairing_request length=96")},
        Frame{"{\"type\":\"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD\"}", false,
              QString::fromUtf8("WARN decode cmd failed type=\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD length=12")},
        Frame{"{\"type\":\"insert\xFF\"}", true, QStringLiteral("WARN binary frame dropped: invalid utf-8 bytes=18")},
        Frame{R"({"type":"source_updated","source_id":10})", false,
              QStringLiteral("INFO source cmd received type=source_updated")},
        Frame{R"({"type":"source_connected","source_id":11})", true,
              QStringLiteral("INFO source cmd received type=source_connected")},
    };
    for (const Frame& frame : frames) {
        if (frame.binary)
            endpoint->sendBinary(frame.bytes);
        else
            endpoint->sendText(QString::fromUtf8(frame.bytes));
    }

    // Read only now: what arrived before the first read is all there, in order.
    const SourceCommandStream stream = session->commands();
    const std::array expected{
        SourceCommand::insert(QStringLiteral("hi"), 7, 1),
        SourceCommand::insert(QStringLiteral("hi"), 7, 1),
        SourceCommand::pairingRequest(PairingRequestPayload{8, QStringLiteral("Pixel"), QStringLiteral("10.0.0.2"),
                                                            QStringLiteral("ab"), 1772352942}),
        SourceCommand::sourceRevoked(9),
        SourceCommand::sourceUpdated(10),
        SourceCommand::sourceConnected(11),
    };
    for (const SourceCommand& command : expected)
        EXPECT_TRUE(next(stream) == command) << command.typeLabel().toStdString();

    QStringList expectedLines{QStringLiteral("INFO start scheduling initial connect"),
                              QStringLiteral("INFO connect begin host=127.0.0.1 authed=true"),
                              QStringLiteral("INFO connect resumed"),
                              QStringLiteral("INFO start ignored: already running")};
    for (const Frame& frame : frames)
        expectedLines.append(frame.line);
    EXPECT_EQ(lines(), expectedLines);
    ASSERT_EQ(endpoint->handshakes().size(), 1u);
    EXPECT_EQ(endpoint->handshakes().front().authorization, QByteArray("Bearer acct-1"));

    // A stop closes with "going away"; the socket's end is then no failure.
    runBlocking(session->stop());
    EXPECT_TRUE(waitUntil([&] { return endpoint->connections().back()->closeCode == 1001; }));
    EXPECT_TRUE(waitUntil([&] { return lines().endsWith(QStringLiteral("INFO receive loop ended (stopped)")); }));
    EXPECT_EQ(endpoint->openCount(), 0);
}

TEST_F(SourceCommandLive, ReconnectsBackOffToFifteenSecondsAndOnlyAMessageResetsThem)
{
    *token = std::nullopt;
    auto session = makeCommandSession();
    runBlocking(session->start());
    const QString prefix = QStringLiteral("INFO reconnect in ");
    const std::array delays{1, 2, 4, 8, 15, 15};
    for (std::size_t i = 0; i < delays.size(); ++i) {
        ASSERT_TRUE(waitUntil([&] { return linesStartingWith(prefix).size() == qsizetype(i + 1); }));
        EXPECT_EQ(linesStartingWith(prefix).last(),
                  prefix + QString::number(delays[i]) + QStringLiteral("s due to receive-error"));
        advance(std::chrono::seconds(delays[i]));
    }
    ASSERT_TRUE(waitUntil([&] { return linesStartingWith(prefix).size() == 7; }));
    for (const auto& handshake : endpoint->handshakes())
        EXPECT_FALSE(handshake.authorization || handshake.accepted);
    EXPECT_EQ(linesStartingWith(QStringLiteral("INFO connect begin")).first(),
              QStringLiteral("INFO connect begin host=127.0.0.1 authed=false"));
    EXPECT_EQ(linesStartingWith(QStringLiteral("WARN receive loop terminated: ")).size(), 7);

    // A handshake that succeeds does not reset the steps.
    *token = kAccount;
    advance(15s);
    ASSERT_TRUE(accepted(1));
    endpoint->drop();
    ASSERT_TRUE(waitUntil([&] { return linesStartingWith(prefix).size() == 8; }));
    EXPECT_EQ(linesStartingWith(prefix).last(), prefix + QStringLiteral("15s due to receive-error"));

    // A message does.
    advance(15s);
    ASSERT_TRUE(accepted(2));
    endpoint->sendText(kInsertFrame);
    next(session->commands());
    endpoint->drop();
    ASSERT_TRUE(waitUntil([&] { return linesStartingWith(prefix).size() == 9; }));
    EXPECT_EQ(linesStartingWith(prefix).last(), prefix + QStringLiteral("1s due to receive-error"));
}

TEST_F(SourceCommandLive, APongTimeoutNeedsSilenceLongerThanTheLimit)
{
    struct Case {
        const char* name;
        std::chrono::seconds heartbeat;
        bool deaf;
        int ticks;
        bool timesOut;
    };
    const std::array cases{
        Case{"answered pings keep the socket", 15s, false, 3, false},
        Case{"unanswered pings close it at the second tick", 15s, true, 2, true},
        Case{"a silence of exactly the limit is not yet too long", 10s, true, 3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock = ManualSteadyClock();
        systemLog = std::make_shared<test::RecordingSystemLog>();
        const std::size_t before = endpoint->connections().size();
        SourceCommandSession::Timing timing;
        timing.heartbeatInterval = c.heartbeat;
        auto session = makeCommandSession(timing);
        runBlocking(session->start());
        ASSERT_TRUE(accepted(before + 1));
        if (c.deaf)
            endpoint->deafen();
        // Counted after the session has heard each pong, which it records on a queued call.
        auto pongs = std::make_shared<int>(0);
        QObject::connect(session->findChild<QWebSocket*>(), &QWebSocket::pong, [pongs] { ++*pongs; });

        const QString timeouts = QStringLiteral("WARN heartbeat pong timeout");
        for (int tick = 1; tick <= c.ticks; ++tick) {
            EXPECT_EQ(linesStartingWith(timeouts), QStringList()) << "before tick " << tick;
            advance(c.heartbeat);
            if (!c.deaf) {
                ASSERT_TRUE(waitUntil([&] { return *pongs == tick; }));
                afterQueuedCalls();
            }
        }
        if (c.timesOut) {
            const QString timeout = QStringLiteral("WARN heartbeat pong timeout silent=30s");
            EXPECT_EQ(lines().mid(lines().indexOf(timeout), 2),
                      (QStringList{timeout, QStringLiteral("INFO reconnect in 1s due to pong-timeout")}));
        } else {
            EXPECT_EQ(linesStartingWith(timeouts), QStringList());
        }
        runBlocking(session->stop());
    }
}

TEST_F(SourceCommandLive, AnAttemptStoppedOrOvertakenWhileItsTokenIsOnTheWayOpensNothing)
{
    auto gates = std::make_shared<QList<Channel<std::optional<QString>>>>();
    provider = [gates]() -> QCoro::Task<std::optional<QString>> {
        const Channel<std::optional<QString>> gate;
        gates->append(gate);
        co_return (co_await gate.next()).value_or(std::nullopt);
    };
    for (const bool restarted : {false, true}) {
        SCOPED_TRACE(restarted ? "stopped and started again" : "stopped");
        gates->clear();
        systemLog = std::make_shared<test::RecordingSystemLog>();
        const std::size_t before = endpoint->handshakes().size();
        auto session = makeCommandSession();
        const auto first = TaskHandle::start([&session](std::stop_token) { return session->start(); });
        ASSERT_TRUE(waitUntil([&] { return gates->size() == 1; }));
        runBlocking(session->stop());
        TaskHandle second;
        if (restarted) {
            second = TaskHandle::start([&session](std::stop_token) { return session->start(); });
            ASSERT_TRUE(waitUntil([&] { return gates->size() == 2; }));
        }
        for (const auto& gate : *gates)
            gate.push(kAccount);
        runBlocking(first.join());
        runBlocking(second.join());

        // The log tells at once which attempts began; the server hears of
        // an opened one over the loopback.
        const std::size_t opened = restarted ? 1 : 0;
        EXPECT_EQ(linesStartingWith(QStringLiteral("INFO connect begin")).size(), qsizetype(opened));
        EXPECT_EVENTUALLY_EQ(endpoint->handshakes().size(), before + opened);
        runBlocking(session->stop());
    }
}

TEST_F(SourceCommandLive, LateNewsOfAReplacedSocketLeavesTheCurrentOneAlone)
{
    struct Case {
        const char* name;
        bool deafen; // else the server drops the socket and a reconnect is pending
    };
    for (const Case& c : {Case{"an unanswered ping of the old socket", true},
                          Case{"a reconnect pending for the old socket", false}}) {
        SCOPED_TRACE(c.name);
        clock = ManualSteadyClock();
        const std::size_t before = endpoint->connections().size();
        auto session = makeCommandSession();
        runBlocking(session->start());
        ASSERT_TRUE(accepted(before + 1));
        if (c.deafen) {
            endpoint->deafen();
            advance(15s);
        } else {
            endpoint->drop();
            const QString scheduled = QStringLiteral("INFO reconnect in 1s due to receive-error");
            ASSERT_TRUE(waitUntil([&] { return lines().endsWith(scheduled); }));
        }
        const qsizetype mark = lines().size();

        runBlocking(restart(session.get()));
        ASSERT_TRUE(accepted(before + 2));
        endpoint->push(server.accountOf(kAccount), QJsonDocument::fromJson(kInsertFrame.toUtf8()).object());
        EXPECT_TRUE(next(session->commands()) == SourceCommand::insert(QStringLiteral("hi"), 7, 1));

        EXPECT_EQ(endpoint->connections().size(), before + 2);
        EXPECT_EQ(lines().mid(mark), (QStringList{QStringLiteral("INFO stop requested"),
                                                  QStringLiteral("INFO start scheduling initial connect"),
                                                  QStringLiteral("INFO connect begin host=127.0.0.1 authed=true"),
                                                  QStringLiteral("INFO connect resumed"),
                                                  QStringLiteral("INFO source cmd received type=insert")}));
        runBlocking(session->stop());
    }
}

TEST_F(SourceCommandLive, APhonePairedThroughTheClientSendsItsTextToTheStream)
{
    auto session = makeCommandSession();
    runBlocking(session->start());
    ASSERT_TRUE(accepted(1));
    const SourceCommandStream stream = session->commands();
    InputSourceAPI api(server.baseURL(), QUrl(QStringLiteral("https://pair.example.test/")),
                       LiveServerTest::makeSession(), provider,
                       std::make_shared<test::RecordingUnauthorizedHandler>());

    const PairingInfo pairing = runBlocking(api.createPairing());
    EXPECT_EQ(pairing.qrURL, QStringLiteral("https://pair.example.test/pair?code=") + pairing.code);
    const auto phone = sources->claim(pairing.code, QStringLiteral("Pixel"), QStringLiteral("10.0.0.2"));
    ASSERT_TRUE(phone);
    const SourceCommand request = next(stream);
    ASSERT_EQ(request.kind(), SourceCommand::Kind::pairingRequest);
    EXPECT_EQ(request.payload()->sourceID, phone->sourceID);
    EXPECT_EQ(request.payload()->friendlyName, QStringLiteral("Pixel"));
    EXPECT_EQ(request.payload()->ip, QStringLiteral("10.0.0.2"));
    EXPECT_EQ(runBlocking(api.status(phone->sourceToken)), QStringLiteral("pending"));
    EXPECT_FALSE(sources->sendText(phone->sourceToken, QStringLiteral("too early")));

    runBlocking(api.confirmPairing(phone->sourceID, true));
    EXPECT_TRUE(next(stream) == SourceCommand::sourceUpdated(phone->sourceID));
    EXPECT_TRUE(sources->announce(phone->sourceToken));
    EXPECT_TRUE(sources->sendText(phone->sourceToken, QStringLiteral("你好")));
    EXPECT_TRUE(sources->sendText(phone->sourceToken, QStringLiteral("再见")));
    EXPECT_TRUE(next(stream) == SourceCommand::sourceConnected(phone->sourceID));
    EXPECT_TRUE(next(stream) == SourceCommand::insert(QStringLiteral("你好"), phone->sourceID, 1));
    EXPECT_TRUE(next(stream) == SourceCommand::insert(QStringLiteral("再见"), phone->sourceID, 2));

    const QList<InputSource> listed = runBlocking(api.list());
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed.first().status, QStringLiteral("active"));
    EXPECT_EQ(listed.first().friendlyName, QStringLiteral("Pixel"));
    EXPECT_TRUE(listed.first().lastUsedAt.has_value());

    runBlocking(api.revoke(phone->sourceID));
    EXPECT_TRUE(next(stream) == SourceCommand::sourceRevoked(phone->sourceID));
    EXPECT_FALSE(sources->sendText(phone->sourceToken, QStringLiteral("after revoke")));
}

} // namespace
