#include "ASRLiveFixture.h"
#include "Models/NetworkError.h"
#include "Models/VellamorTransportError.h"
#include "Networking/WSClientStart.h"
#include "Networking/WebSocketSession.h"

#include <QPointer>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

class WebSocketSessionLiveTest : public ASRLiveTest {
protected:
    // The cancelled heartbeat and receive handlers end on a later turn of the loop.
    void TearDown() override
    {
        ws.reset();
        afterQueuedCalls();
    }

    std::unique_ptr<WebSocketSession> makeSession(WebSocketSession::Timing timing = {})
    {
        return std::make_unique<WebSocketSession>(log(QStringLiteral("ws")), timing);
    }

    // Sends the start frame and waits for "ready": the socket is open then.
    static void openSession(WebSocketSession& session, const WSIncomingStream& incoming)
    {
        runBlocking(session.sendStart(WSClientStart(QStringLiteral("zh"), QStringLiteral("chat"),
                                                    QStringLiteral("default"), false, std::nullopt)));
        const auto first = runBlocking(incoming.next());
        ASSERT_TRUE(first.has_value());
        EXPECT_EQ(first->text(), QStringLiteral(R"({"type":"ready"})"));
    }

    std::unique_ptr<WebSocketSession> ws = makeSession();
};

// The token goes into the header as it is; none or an empty one sends no header.
TEST(WebSocketSessionRequest, CarriesTheBearerHeaderOnlyForANonEmptyToken)
{
    const QUrl url(QStringLiteral("wss://asr.example.com/v1/session"));
    EXPECT_TRUE(WebSocketSession::makeRequest(url, std::nullopt).rawHeaderList().isEmpty());
    EXPECT_TRUE(WebSocketSession::makeRequest(url, QString()).rawHeaderList().isEmpty());
    const QNetworkRequest authed = WebSocketSession::makeRequest(url, QStringLiteral(" t "));
    EXPECT_EQ(authed.rawHeaderList(), QList<QByteArray>{QByteArrayLiteral("Authorization")});
    EXPECT_EQ(authed.rawHeader("Authorization"), QByteArrayLiteral("Bearer  t "));
}

TEST_F(WebSocketSessionLiveTest, ASendRightAfterConnectFailsWithTheHandshakesError)
{
    runBlocking(ws->connect(wsURL(QStringLiteral("/not-a-socket")), std::nullopt));
    const WSIncomingStream incoming = ws->incoming();
    EXPECT_EQ(failureKind<NetworkError>(ws->send(WSMessage::text(QStringLiteral("hello")))),
              NetworkError::Kind::cannotConnect);
    EXPECT_THROW(runBlocking(incoming.next()), NetworkError);
    // The failed socket stays until the next connect or close; sends keep failing with its error.
    EXPECT_THROW(runBlocking(ws->send(WSMessage::text(QStringLiteral("again")))), NetworkError);
}

TEST_F(WebSocketSessionLiveTest, AHandshakeThatTakesTooLongFailsTheWaitingSend)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.handshakeDelay = 3000ms;
    });
    ws = makeSession({.heartbeatInterval = 20000ms, .handshakeTimeout = 100ms});
    runBlocking(ws->connect(wsURL(), std::nullopt));
    EXPECT_EQ(failureKind<NetworkError>(ws->send(WSMessage::text(QStringLiteral("hello")))),
              NetworkError::Kind::timedOut);
}

TEST_F(WebSocketSessionLiveTest, AUrlWithoutHostFailsInsteadOfHanging)
{
    runBlocking(ws->connect(QUrl(QStringLiteral("ws:/v1/session")), std::nullopt));
    EXPECT_THROW(runBlocking(ws->send(WSMessage::text(QStringLiteral("x"))), hangCeiling), NetworkError);
    EXPECT_THROW(runBlocking(ws->incoming().next(), hangCeiling), NetworkError);
}

TEST_F(WebSocketSessionLiveTest, CloseSendsGoingAwayEndsTheStreamNormallyAndLaterSendsFail)
{
    EXPECT_EQ(failureKind<VellamorTransportError>(ws->send(WSMessage::text(QStringLiteral("x")))),
              VellamorTransportError::Kind::connectionClosed);
    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream incoming = ws->incoming();
    openSession(*ws, incoming);

    runBlocking(ws->close());
    runBlocking(ws->close());
    EXPECT_TRUE(ws->localCloseRequested());
    EXPECT_EQ(runBlocking(incoming.next()), std::nullopt);
    EXPECT_EQ(failureKind<VellamorTransportError>(ws->send(WSMessage::text(QStringLiteral("x")))),
              VellamorTransportError::Kind::connectionClosed);

    const auto record = session();
    ASSERT_TRUE(waitUntil([&] { return !record->open; }));
    EXPECT_EQ(record->closeCode, 1001);
}

TEST_F(WebSocketSessionLiveTest, ASecondConnectReplacesTheFirstSocketAndLeavesTheNewOneHealthy)
{
    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream first = ws->incoming();
    openSession(*ws, first);
    const QPointer<QWebSocket> replaced = ws->findChild<QWebSocket*>();

    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream second = ws->incoming();
    EXPECT_EQ(runBlocking(first.next()), std::nullopt) << "the old stream ends normally";
    const auto firstRecord = session(0);
    ASSERT_TRUE(waitUntil([&] { return !firstRecord->open; }));
    EXPECT_EQ(firstRecord->closeCode, 1001);

    openSession(*ws, second);
    // The replaced socket is deleted once it has ended, after its receive
    // side heard of the end: that must not touch this stream.
    ASSERT_TRUE(waitUntil([&] { return replaced.isNull(); }));
    afterQueuedCalls();
    EXPECT_FALSE(second.isTerminated());
    runBlocking(ws->sendStop());
    const auto final = runBlocking(second.next());
    ASSERT_TRUE(final.has_value());
    EXPECT_TRUE(final->text().contains(QStringLiteral("\"final\"")));
    EXPECT_EQ(session(1)->stopFrames, 1);
    EXPECT_EQ(firstRecord->stopFrames, 0);
}

TEST_F(WebSocketSessionLiveTest, AConnectDuringTheFirstHandshakeLeavesTheSecondConnectionHealthy)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.handshakeDelay = 50ms;
    });
    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream first = ws->incoming();
    const QPointer<QWebSocket> abandoned = ws->findChild<QWebSocket*>();
    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream second = ws->incoming();
    EXPECT_EQ(runBlocking(first.next()), std::nullopt);

    openSession(*ws, second);
    // The abandoned socket is deleted once it has ended and every delayed
    // handshake has been answered: neither may touch this connection.
    ASSERT_TRUE(waitUntil([&] { return abandoned.isNull() && endpoint->pendingHandshakes() == 0; }));
    afterQueuedCalls();
    EXPECT_FALSE(second.isTerminated());
    EXPECT_EQ(endpoint->openSessionCount(), 1);
}

// Every message that came before the peer closed is delivered, in order, on
// the one stream of the connection; the close then ends it with an error.
TEST_F(WebSocketSessionLiveTest, APeerThatClosesEndsTheStreamWithAnErrorAfterItsMessages)
{
    QWebSocketServer peers(QStringLiteral("peer"), QWebSocketServer::NonSecureMode);
    server.registerUpgrade(QStringLiteral("/peer"), [&peers](QTcpSocket* socket, const devbackend::DevHttpRequest&) {
        peers.handleConnection(socket);
    });
    runBlocking(ws->connect(wsURL(QStringLiteral("/peer")), std::nullopt));
    const WSIncomingStream incoming = ws->incoming();
    ASSERT_TRUE(waitUntil([&] { return peers.hasPendingConnections(); }));
    QWebSocket* far = peers.nextPendingConnection();
    far->setParent(&peers);
    far->sendTextMessage(QStringLiteral("一"));
    far->sendBinaryMessage(QByteArray("\x00\xff\x10", 3));
    far->sendTextMessage(QStringLiteral("bye"));
    far->close(QWebSocketProtocol::CloseCodeNormal);

    QList<WSMessage> received;
    for (int i = 0; i < 3; ++i) {
        const auto message = runBlocking(ws->incoming().next());
        ASSERT_TRUE(message.has_value());
        received.append(*message);
    }
    EXPECT_EQ(received, (QList<WSMessage>{WSMessage::text(QStringLiteral("一")),
                                          WSMessage::binary(QByteArray("\x00\xff\x10", 3)),
                                          WSMessage::text(QStringLiteral("bye"))}));
    EXPECT_THROW(runBlocking(incoming.next()), NetworkError);
    // The failed socket stays until the next connect or close; sends keep failing.
    EXPECT_TRUE(ws->hasSocket());
    EXPECT_THROW(runBlocking(ws->send(WSMessage::text(QStringLiteral("late")))), NetworkError);
}

TEST_F(WebSocketSessionLiveTest, TheHeartbeatPingsTheCurrentSocketUntilTheSessionIsGone)
{
    ws = makeSession({.heartbeatInterval = 20ms, .handshakeTimeout = 60000ms});
    runBlocking(ws->connect(wsURL(), std::nullopt));
    openSession(*ws, ws->incoming());
    EXPECT_TRUE(waitUntil([&] { return ws->pongCount() >= 3; }));

    // A ping waiting for its pong, and the sleeping heartbeat, end with the session.
    ws.reset();
    ASSERT_TRUE(waitUntil([&] { return endpoint->openSessionCount() == 0; }));
}

} // namespace
} // namespace vellamor::test
