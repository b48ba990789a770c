#pragma once

#include "Logging/VellamorLog.h"
#include "Networking/WSClientStart.h"
#include "Networking/WebSocketTransport.h"
#include "Support/Async/TaskHandle.h"

#include <QNetworkRequest>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>

namespace vellamor {

// The WebSocket transport over QWebSocket: an actor on the main thread that
// holds one socket at a time, feeds every received text or binary message
// into the incoming stream, pings the peer every 20 seconds and closes with
// code 1001 (going away). It never reconnects by itself: each connect()
// first tears down whatever socket is still there.
//
// A send made before the opening handshake has finished is queued here and
// written once the socket is open (QWebSocket itself drops such frames), or
// fails with the handshake's error.
//
// Each socket's receive side acts only while that socket is the current one:
// a socket replaced by a later connect() can no longer end or feed the new
// connection's stream.
class WebSocketSession final : public QObject, public WebSocketTransport {
public:
    struct Timing {
        std::chrono::milliseconds heartbeatInterval{20000};
        // The request's time-out, applied to the opening handshake.
        std::chrono::milliseconds handshakeTimeout{60000};
    };

    // Logs to subsystem "com.vellamor.app", category "ws".
    explicit WebSocketSession(QObject* parent = nullptr);
    WebSocketSession(VellamorLog log, Timing timing, QObject* parent = nullptr);
    // Cancels the heartbeat, aborts the socket, fails queued sends with
    // connectionClosed and ends the incoming stream normally.
    ~WebSocketSession() override;

    // A request for `url` with a 60-second time-out. "Authorization: Bearer
    // <token>" is its only header, and only for a present, non-empty token
    // (not trimmed).
    static QNetworkRequest makeRequest(const QUrl& url, const std::optional<QString>& bearerToken);

    using WebSocketTransport::connect;
    // Never fails and does not wait for the handshake: tears down the old
    // socket (code 1001) and ends its stream normally, creates the new
    // stream, starts the socket and the heartbeat.
    QCoro::Task<void> connect(QUrl url, std::optional<QString> bearerToken) override;
    // Throws VellamorTransportError::connectionClosed without a socket, the
    // socket's failure (a NetworkError) once it has failed.
    QCoro::Task<void> send(WSMessage message) override;
    // Closes the socket with 1001 and ends the incoming stream normally.
    // Nothing is logged; a second call does nothing further.
    QCoro::Task<void> close() override;
    // Every call between two connects returns the same stream.
    WSIncomingStream incoming() override;

    // Encode the frame and send it as text; encoding failures throw
    // VellamorTransportError::encodingFailed.
    QCoro::Task<void> sendStart(WSClientStart start);
    QCoro::Task<void> sendStop();

    bool hasSocket() const { return current_ != nullptr; }
    bool localCloseRequested() const { return localCloseRequested_; }
    // Pongs the current socket has received, for diagnostics.
    quint64 pongCount() const;

private:
    struct Connection;
    struct PendingSend;

    void wire(const std::shared_ptr<Connection>& connection);
    void deliver(const std::shared_ptr<Connection>& connection, WSMessage message);
    void opened(const std::shared_ptr<Connection>& connection);
    void socketFailed(const std::shared_ptr<Connection>& connection);
    void receiveLoopEnded(const std::shared_ptr<Connection>& connection);
    void tearDown(const std::shared_ptr<Connection>& connection);
    // Ends the current socket and stream: all of close(), and the first step of connect().
    void closeCurrent();
    void startHeartbeat();
    QCoro::Task<void> ping(std::stop_token token);

    static QCoro::Task<void> heartbeat(QPointer<WebSocketSession> self, std::chrono::milliseconds interval,
                                       std::stop_token token);
    static void write(const Connection& connection, const WSMessage& message);
    static void failPending(Connection& connection, const std::exception_ptr& error);
    static std::exception_ptr endError(const Connection& connection);

    std::shared_ptr<Connection> current_;
    std::optional<WSIncomingStream> stream_;
    TaskHandle heartbeatTask_;
    VellamorLog log_;
    Timing timing_;
    bool localCloseRequested_ = false;
};

} // namespace vellamor
