#include "ASRLiveFixture.h"
#include "Models/VellamorTransportError.h"
#include "Networking/NetworkError.h"
#include "Networking/WSClientStart.h"
#include "Networking/WebSocketSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

// The far end of a connection at "/peer", driven by the test.
class TestPeer {
public:
    explicit TestPeer(devbackend::DevServer& server)
    {
        QObject::connect(&sockets_, &QWebSocketServer::newConnection, &sockets_, [this] {
            while (QWebSocket* peer = sockets_.nextPendingConnection()) {
                peer->setParent(&sockets_);
                peers_.append(peer);
                QObject::connect(peer, &QWebSocket::textMessageReceived, peer,
                                 [this](const QString& text) { received_.append(text); });
            }
        });
        server.registerUpgrade(QStringLiteral("/peer"),
                               [this](QTcpSocket* socket, const devbackend::DevHttpRequest&) {
                                   sockets_.handleConnection(socket);
                               });
    }

    QWebSocket* peer(qsizetype index = 0)
    {
        if (!waitUntil([&] { return peers_.size() > index; }))
            return nullptr;
        return peers_.at(index);
    }
    const QStringList& received() const { return received_; }

private:
    QWebSocketServer sockets_{QStringLiteral("peer"), QWebSocketServer::NonSecureMode};
    QList<QPointer<QWebSocket>> peers_;
    QStringList received_;
};

class WebSocketSessionLiveTest : public ASRLiveTest {
protected:
    // The cancelled heartbeat and receive handlers end on a later turn of the loop.
    void TearDown() override
    {
        ws.reset();
        runEventLoopFor(10ms);
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

    QStringList wsLines() const { return lines(QStringLiteral("ws")); }
    QStringList wsWarnings() const { return wsLines().filter(QRegularExpression(QStringLiteral("^warn "))); }

    std::unique_ptr<WebSocketSession> ws = makeSession();
};

struct TokenCase {
    std::optional<QString> token;
    std::optional<QByteArray> header;
    const char* authed;
};

TEST_F(WebSocketSessionLiveTest, SendsTheAuthorizationHeaderOnlyForANonEmptyToken)
{
    const QList<TokenCase> cases{
        {std::nullopt, std::nullopt, "false"},
        {QString(), std::nullopt, "false"},
        {QStringLiteral("tok-1"), QByteArrayLiteral("Bearer tok-1"), "true"},
    };
    std::size_t index = 0;
    for (const TokenCase& c : cases) {
        runBlocking(ws->connect(wsURL(), c.token));
        runBlocking(ws->sendStart(WSClientStart(QStringLiteral("zh"), QStringLiteral("chat"),
                                                     QStringLiteral("default"), false, std::nullopt)));
        const auto record = session(index++);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->authorization, c.header) << c.authed;
        EXPECT_TRUE(wsLines().contains(QStringLiteral("info connect begin host=127.0.0.1 authed=")
                                       + QLatin1String(c.authed) + QStringLiteral(" | ")
                                       + wsURL().toString()));
    }
    EXPECT_EQ(wsLines().count(QStringLiteral("info connect resumed (handshake async)")), 3);
}

TEST(WebSocketSessionRequest, CarriesOnlyTheBearerHeaderAndTheSixtySecondTimeout)
{
    const QUrl url(QStringLiteral("wss://asr.example.com/v1/session"));
    const QNetworkRequest plain = WebSocketSession::makeRequest(url, std::nullopt);
    EXPECT_EQ(plain.url(), url);
    EXPECT_TRUE(plain.rawHeaderList().isEmpty());
    EXPECT_EQ(plain.transferTimeout(), 60000);
    EXPECT_TRUE(WebSocketSession::makeRequest(url, QString()).rawHeaderList().isEmpty());
    const QNetworkRequest authed = WebSocketSession::makeRequest(url, QStringLiteral(" t "));
    EXPECT_EQ(authed.rawHeaderList(), QList<QByteArray>{QByteArrayLiteral("Authorization")});
    EXPECT_EQ(authed.rawHeader("Authorization"), QByteArrayLiteral("Bearer  t "));
}

TEST_F(WebSocketSessionLiveTest, ASendRightAfterConnectGoesOutOnceTheHandshakeCompletes)
{
    configure([](devbackend::AsrSessionEndpoint::Options& o) {
        o.handshakeDelay = 150ms;
    });
    runBlocking(ws->connect(wsURL(), QStringLiteral("tok")));
    const WSIncomingStream incoming = ws->incoming();
    runBlocking(ws->sendStart(WSClientStart(QStringLiteral("zh"), QStringLiteral("chat"),
                                                 QStringLiteral("default"), true, std::nullopt)));
    runBlocking(ws->send(WSMessage::binary(QByteArray(640, 'a'))));
    runBlocking(ws->sendStop());

    const auto record = session();
    ASSERT_NE(record, nullptr);
    ASSERT_TRUE(waitUntil([&] { return record->stopFrames == 1; }));
    ASSERT_EQ(record->received.size(), 3);
    EXPECT_TRUE(record->start.has_value());
    EXPECT_TRUE(record->received.at(1).binary);
    EXPECT_EQ(record->received.at(1).data, QByteArray(640, 'a'));
    EXPECT_EQ(record->received.at(2).text, QStringLiteral(R"({"type":"stop"})"));
    const auto ready = runBlocking(incoming.next());
    ASSERT_TRUE(ready.has_value());
    EXPECT_EQ(ready->text(), QStringLiteral(R"({"type":"ready"})"));
}

TEST_F(WebSocketSessionLiveTest, ASendRightAfterConnectFailsWithTheHandshakesError)
{
    runBlocking(ws->connect(wsURL(QStringLiteral("/not-a-socket")), std::nullopt));
    const WSIncomingStream incoming = ws->incoming();
    try {
        runBlocking(ws->send(WSMessage::text(QStringLiteral("hello"))));
        ADD_FAILURE() << "the send should fail";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkError::Kind::cannotConnect) << error.debugDescription().toStdString();
    }
    EXPECT_THROW(runBlocking(incoming.next()), NetworkError);
    ASSERT_EQ(wsWarnings().size(), 1);
    EXPECT_TRUE(wsWarnings().first().startsWith(QStringLiteral("warn receive loop terminated: cannotConnect(")));
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
    try {
        runBlocking(ws->send(WSMessage::text(QStringLiteral("hello"))));
        ADD_FAILURE() << "the send should fail";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkError::Kind::timedOut);
    }
}

TEST_F(WebSocketSessionLiveTest, AUrlWithoutHostLogsNilAndFailsInsteadOfHanging)
{
    runBlocking(ws->connect(QUrl(QStringLiteral("ws:/v1/session")), std::nullopt));
    EXPECT_EQ(wsLines().first(), QStringLiteral("info connect begin host=nil authed=false | ws:/v1/session"));
    EXPECT_THROW(runBlocking(ws->send(WSMessage::text(QStringLiteral("x"))), 5s), NetworkError);
    EXPECT_THROW(runBlocking(ws->incoming().next(), 5s), NetworkError);
}

TEST_F(WebSocketSessionLiveTest, SendWithoutASocketFailsWithConnectionClosed)
{
    const auto expectConnectionClosed = [this] {
        try {
            runBlocking(ws->send(WSMessage::text(QStringLiteral("x"))));
            ADD_FAILURE() << "the send should fail";
        } catch (const VellamorTransportError& error) {
            EXPECT_EQ(error.kind(), VellamorTransportError::Kind::connectionClosed);
        }
    };
    expectConnectionClosed();
    runBlocking(ws->connect(wsURL(), std::nullopt));
    openSession(*ws, ws->incoming());
    runBlocking(ws->close());
    expectConnectionClosed();
}

TEST_F(WebSocketSessionLiveTest, CloseSendsGoingAwayEndsTheStreamNormallyAndLogsOnlyTheLoopsEnd)
{
    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream incoming = ws->incoming();
    openSession(*ws, incoming);
    const qsizetype linesBefore = wsLines().size();

    runBlocking(ws->close());
    runBlocking(ws->close());
    EXPECT_TRUE(ws->localCloseRequested());
    EXPECT_EQ(runBlocking(incoming.next()), std::nullopt);

    const auto record = session();
    ASSERT_TRUE(waitUntil([&] { return !record->open; }));
    EXPECT_EQ(record->closeCode, 1001);
    ASSERT_TRUE(waitUntil([&] { return wsLines().size() > linesBefore; }));
    runEventLoopFor(20ms);
    EXPECT_EQ(wsLines().mid(linesBefore),
              QStringList{QStringLiteral("info receive loop ended (peer closed after local close)")});
}

TEST_F(WebSocketSessionLiveTest, ASecondConnectReplacesTheFirstSocketAndLeavesTheNewOneHealthy)
{
    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream first = ws->incoming();
    openSession(*ws, first);

    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream second = ws->incoming();
    EXPECT_EQ(runBlocking(first.next()), std::nullopt) << "the old stream ends normally";
    const auto firstRecord = session(0);
    ASSERT_TRUE(waitUntil([&] { return !firstRecord->open; }));
    EXPECT_EQ(firstRecord->closeCode, 1001);

    openSession(*ws, second);
    // The replaced socket's receive loop has ended by now; it must not have touched this stream.
    ASSERT_TRUE(waitUntil(
        [&] { return wsLines().contains(QStringLiteral("info receive loop ended (peer closed after local close)")); }));
    runEventLoopFor(50ms);
    EXPECT_FALSE(second.isTerminated());
    EXPECT_TRUE(wsWarnings().isEmpty()) << wsWarnings().join(QLatin1Char('\n')).toStdString();
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
    runBlocking(ws->connect(wsURL(), std::nullopt));
    const WSIncomingStream second = ws->incoming();
    EXPECT_EQ(runBlocking(first.next()), std::nullopt);

    openSession(*ws, second);
    runEventLoopFor(100ms);
    EXPECT_FALSE(second.isTerminated());
    EXPECT_TRUE(wsWarnings().isEmpty());
    EXPECT_EQ(endpoint->openSessionCount(), 1);
}

TEST_F(WebSocketSessionLiveTest, DeliversThePeersTextAndBinaryMessagesInOrderOnOneStream)
{
    TestPeer peer(server);
    runBlocking(ws->connect(wsURL(QStringLiteral("/peer")), std::nullopt));
    // Every read between two connects is the same stream.
    const WSIncomingStream reader = ws->incoming();
    QWebSocket* far = peer.peer();
    ASSERT_NE(far, nullptr);
    far->sendTextMessage(QStringLiteral("一"));
    far->sendBinaryMessage(QByteArray("\x00\xff\x10", 3));
    far->sendTextMessage(QStringLiteral("three"));

    QList<WSMessage> received;
    for (int i = 0; i < 3; ++i) {
        const auto message = runBlocking(ws->incoming().next());
        ASSERT_TRUE(message.has_value());
        received.append(*message);
    }
    EXPECT_EQ(received, (QList<WSMessage>{WSMessage::text(QStringLiteral("一")),
                                          WSMessage::binary(QByteArray("\x00\xff\x10", 3)),
                                          WSMessage::text(QStringLiteral("three"))}));
    EXPECT_FALSE(reader.isTerminated());
}

TEST_F(WebSocketSessionLiveTest, APeerThatClosesEndsTheStreamWithAnErrorAndAWarning)
{
    TestPeer peer(server);
    runBlocking(ws->connect(wsURL(QStringLiteral("/peer")), std::nullopt));
    const WSIncomingStream incoming = ws->incoming();
    runBlocking(ws->send(WSMessage::text(QStringLiteral("hi"))));
    QWebSocket* far = peer.peer();
    ASSERT_NE(far, nullptr);
    ASSERT_TRUE(waitUntil([&] { return peer.received() == QStringList{QStringLiteral("hi")}; }));
    far->sendTextMessage(QStringLiteral("bye"));
    far->close(QWebSocketProtocol::CloseCodeNormal);

    const auto bye = runBlocking(incoming.next());
    ASSERT_TRUE(bye.has_value());
    EXPECT_EQ(bye->text(), QStringLiteral("bye"));
    EXPECT_THROW(runBlocking(incoming.next()), NetworkError);
    ASSERT_EQ(wsWarnings().size(), 1);
    EXPECT_TRUE(wsWarnings().first().startsWith(QStringLiteral("warn receive loop terminated: ")));
    EXPECT_TRUE(ws->hasSocket());
    EXPECT_THROW(runBlocking(ws->send(WSMessage::text(QStringLiteral("late")))), NetworkError);
}

TEST_F(WebSocketSessionLiveTest, TheHeartbeatPingsTheCurrentSocketUntilTheSessionIsGone)
{
    ws = makeSession({.heartbeatInterval = 20ms, .handshakeTimeout = 60000ms});
    runBlocking(ws->connect(wsURL(), std::nullopt));
    openSession(*ws, ws->incoming());
    EXPECT_TRUE(waitUntil([&] { return ws->pongCount() >= 3; }, 2s));

    // A ping waiting for its pong, and the sleeping heartbeat, end with the session.
    ws.reset();
    runEventLoopFor(60ms);
    ASSERT_TRUE(waitUntil([&] { return endpoint->openSessionCount() == 0; }));
}

} // namespace
} // namespace vellamor::test
