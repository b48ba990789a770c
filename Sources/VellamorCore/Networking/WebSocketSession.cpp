#include "Networking/WebSocketSession.h"

#include "Models/NetworkError.h"
#include "Models/VellamorTransportError.h"
#include "Networking/WSClientStop.h"
#include "Networking/WebSocketClosing.h"
#include "Support/Async/MainThread.h"
#include "Support/Async/Resumption.h"
#include "Support/Async/Sleep.h"
#include "Support/Error.h"

#include <QTimer>
#include <QWebSocket>

#include <deque>
#include <utility>
#include <vector>

namespace vellamor {

namespace {

NetworkError::Kind kindOf(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return NetworkError::Kind::cannotConnect;
    case QAbstractSocket::HostNotFoundError:
        return NetworkError::Kind::hostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return NetworkError::Kind::timedOut;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::NetworkError:
        return NetworkError::Kind::connectionLost;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return NetworkError::Kind::secureConnectionFailed;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return NetworkError::Kind::badURL;
    default:
        return NetworkError::Kind::other;
    }
}

VellamorLog wsLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("ws"));
}

} // namespace

struct WebSocketSession::PendingSend {
    explicit PendingSend(WSMessage message) : message(std::move(message)) {}

    WSMessage message;
    std::shared_ptr<detail::Resumption> waker;
    std::exception_ptr error;
};

// One socket and what its receive side has seen.
struct WebSocketSession::Connection {
    QPointer<QWebSocket> socket;
    bool isOpen = false;
    bool ended = false;
    bool timedOut = false;
    std::optional<QAbstractSocket::SocketError> socketError;
    QString errorText;
    std::exception_ptr failure;
    quint64 pongs = 0;
    std::deque<std::shared_ptr<PendingSend>> pending;
};

WebSocketSession::WebSocketSession(QObject* parent) : WebSocketSession(wsLog(), Timing{}, parent) {}

WebSocketSession::WebSocketSession(VellamorLog log, Timing timing, QObject* parent)
    : QObject(parent)
    , log_(std::move(log))
    , timing_(timing)
{
}

WebSocketSession::~WebSocketSession()
{
    heartbeatTask_.cancel();
    if (const auto connection = std::exchange(current_, nullptr)) {
        failPending(*connection, std::make_exception_ptr(VellamorTransportError::connectionClosed()));
        if (connection->socket) {
            connection->socket->disconnect(this);
            connection->socket->abort();
        }
    }
    if (stream_)
        stream_->finish();
}

QNetworkRequest WebSocketSession::makeRequest(const QUrl& url, const std::optional<QString>& bearerToken)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(60000);
    if (bearerToken && !bearerToken->isEmpty())
        request.setRawHeader(QByteArrayLiteral("Authorization"), QByteArrayLiteral("Bearer ") + bearerToken->toUtf8());
    return request;
}

QCoro::Task<void> WebSocketSession::connect(QUrl url, std::optional<QString> bearerToken)
{
    const bool authed = bearerToken && !bearerToken->isEmpty();
    const QString host = url.host();
    log_.info(QStringLiteral("connect begin host=") + (host.isEmpty() ? QStringLiteral("nil") : host)
                  + QStringLiteral(" authed=") + (authed ? QStringLiteral("true") : QStringLiteral("false")),
              url.toString(QUrl::FullyEncoded));

    closeCurrent();
    localCloseRequested_ = false;

    // Before the socket starts, so no message can arrive without a stream.
    incoming();

    auto connection = std::make_shared<Connection>();
    connection->socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    current_ = connection;
    wire(connection);
    connection->socket->open(makeRequest(url, bearerToken));
    QTimer::singleShot(timing_.handshakeTimeout, connection->socket, [connection] {
        if (connection->isOpen || connection->ended || !connection->socket)
            return;
        connection->timedOut = true;
        connection->socket->abort();
    });

    startHeartbeat();
    log_.info(QStringLiteral("connect resumed (handshake async)"));
    co_return;
}

void WebSocketSession::wire(const std::shared_ptr<Connection>& connection)
{
    QWebSocket* socket = connection->socket;
    QObject::connect(socket, &QWebSocket::textMessageReceived, this,
                     [this, connection](const QString& text) { deliver(connection, WSMessage::text(text)); });
    QObject::connect(socket, &QWebSocket::binaryMessageReceived, this,
                     [this, connection](const QByteArray& data) { deliver(connection, WSMessage::binary(data)); });
    QObject::connect(socket, &QWebSocket::connected, this, [this, connection] { opened(connection); });
    QObject::connect(socket, &QWebSocket::pong, this, [connection] { ++connection->pongs; });
    QObject::connect(socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, [this, connection](QAbstractSocket::SocketError error) {
        if (!connection->socketError) {
            connection->socketError = error;
            if (connection->socket)
                connection->errorText = connection->socket->errorString();
        }
        // Queued: the socket is in the middle of emitting, and a failed
        // handshake or an unusable URL may leave it without a disconnect.
        postTo(this, [this, connection] { socketFailed(connection); });
    });
    // Queued behind the processing of data that arrived before the end, so
    // every message is delivered before the stream ends.
    QObject::connect(socket, &QWebSocket::disconnected, this,
                     [this, connection] { postTo(this, [this, connection] { receiveLoopEnded(connection); }); });
}

void WebSocketSession::deliver(const std::shared_ptr<Connection>& connection, WSMessage message)
{
    if (current_ != connection || !stream_)
        return;
    stream_->push(std::move(message));
}

void WebSocketSession::opened(const std::shared_ptr<Connection>& connection)
{
    connection->isOpen = true;
    auto pending = std::exchange(connection->pending, {});
    for (const auto& entry : pending) {
        try {
            write(*connection, entry->message);
        } catch (...) {
            entry->error = std::current_exception();
        }
        entry->waker->fire(detail::Resumption::Reason::Signalled);
    }
}

void WebSocketSession::socketFailed(const std::shared_ptr<Connection>& connection)
{
    if (connection->ended || connection->isOpen)
        return;
    QWebSocket* socket = connection->socket;
    if (socket && socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort();
    else
        receiveLoopEnded(connection);
}

void WebSocketSession::receiveLoopEnded(const std::shared_ptr<Connection>& connection)
{
    if (connection->ended)
        return;
    connection->ended = true;
    const std::exception_ptr error = endError(*connection);
    connection->failure = error;
    failPending(*connection, error);

    if (current_ != connection) {
        log_.info(QStringLiteral("receive loop ended (peer closed after local close)"));
        return;
    }
    if (!localCloseRequested_)
        log_.warn(QStringLiteral("receive loop terminated: ") + describeException(error));
    else
        log_.info(QStringLiteral("receive loop ended (peer closed after local close)"));
    if (stream_)
        stream_->finish(error);
}

void WebSocketSession::tearDown(const std::shared_ptr<Connection>& connection)
{
    failPending(*connection, std::make_exception_ptr(VellamorTransportError::connectionClosed()));
    if (connection->socket)
        closeGoingAway(connection->socket);
}

void WebSocketSession::closeCurrent()
{
    localCloseRequested_ = true;
    heartbeatTask_.cancel();
    heartbeatTask_ = TaskHandle();
    if (const auto old = std::exchange(current_, nullptr))
        tearDown(old);
    if (stream_)
        stream_->finish();
    stream_.reset();
}

QCoro::Task<void> WebSocketSession::close()
{
    closeCurrent();
    co_return;
}

WSIncomingStream WebSocketSession::incoming()
{
    if (!stream_)
        stream_ = WSIncomingStream();
    return *stream_;
}

QCoro::Task<void> WebSocketSession::send(WSMessage message)
{
    const auto connection = current_;
    if (!connection)
        throw VellamorTransportError::connectionClosed();
    if (connection->ended) {
        if (connection->failure)
            std::rethrow_exception(connection->failure);
        throw VellamorTransportError::connectionClosed();
    }
    if (connection->isOpen) {
        write(*connection, message);
        co_return;
    }

    auto entry = std::make_shared<PendingSend>(std::move(message));
    co_await detail::Resumption::make()->suspend({}, [&connection, &entry](auto waker) {
        entry->waker = waker;
        connection->pending.push_back(entry);
    });
    if (entry->error)
        std::rethrow_exception(entry->error);
}

QCoro::Task<void> WebSocketSession::sendStart(WSClientStart start)
{
    co_await send(WSMessage::text(start.encodeText()));
}

QCoro::Task<void> WebSocketSession::sendStop()
{
    co_await send(WSMessage::text(WSClientStop().encodeText()));
}

quint64 WebSocketSession::pongCount() const
{
    return current_ ? current_->pongs : 0;
}

void WebSocketSession::write(const Connection& connection, const WSMessage& message)
{
    QWebSocket* socket = connection.socket;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        throw NetworkError(NetworkError::Kind::connectionLost, QStringLiteral("the socket is not open"));
    qint64 expected = 0;
    qint64 written = 0;
    if (message.isText()) {
        expected = message.text().toUtf8().size();
        written = socket->sendTextMessage(message.text());
    } else {
        expected = message.data().size();
        written = socket->sendBinaryMessage(message.data());
    }
    if (written != expected)
        throw NetworkError(NetworkError::Kind::connectionLost, socket->errorString());
}

void WebSocketSession::failPending(Connection& connection, const std::exception_ptr& error)
{
    auto pending = std::exchange(connection.pending, {});
    for (const auto& entry : pending) {
        entry->error = error;
        entry->waker->fire(detail::Resumption::Reason::Signalled);
    }
}

std::exception_ptr WebSocketSession::endError(const Connection& connection)
{
    if (connection.timedOut) {
        return std::make_exception_ptr(
            NetworkError(NetworkError::Kind::timedOut, QStringLiteral("the opening handshake did not finish in time")));
    }
    if (connection.socketError)
        return std::make_exception_ptr(NetworkError(kindOf(*connection.socketError), connection.errorText));
    return std::make_exception_ptr(
        NetworkError(NetworkError::Kind::connectionLost, QStringLiteral("the peer closed the connection")));
}

void WebSocketSession::startHeartbeat()
{
    heartbeatTask_.cancel();
    heartbeatTask_ = TaskHandle::start([self = QPointer<WebSocketSession>(this),
                                        interval = timing_.heartbeatInterval](std::stop_token token) {
        return heartbeat(self, interval, std::move(token));
    });
}

QCoro::Task<void> WebSocketSession::heartbeat(QPointer<WebSocketSession> self, std::chrono::milliseconds interval,
                                              std::stop_token token)
{
    for (;;) {
        co_await sleepFor(interval, token);
        if (token.stop_requested() || !self)
            co_return;
        co_await self->ping(token);
    }
}

QCoro::Task<void> WebSocketSession::ping(std::stop_token token)
{
    // Only locals after the wait: the session may be gone when it ends.
    const auto connection = current_;
    if (!connection || !connection->socket || connection->socket->state() != QAbstractSocket::ConnectedState)
        co_return;
    const QPointer<QWebSocket> socket = connection->socket;
    std::vector<QMetaObject::Connection> links;
    co_await detail::Resumption::make()->suspend(std::move(token), [&socket, &links](auto waker) {
        const auto wake = [waker] { waker->fire(detail::Resumption::Reason::Signalled); };
        // A pong, or the socket's end, whichever comes first; no time limit.
        links.push_back(QObject::connect(socket, &QWebSocket::pong, socket, wake));
        links.push_back(QObject::connect(socket, &QWebSocket::disconnected, socket, wake));
        links.push_back(QObject::connect(socket, &QObject::destroyed, wake));
        socket->ping();
    });
    for (const auto& link : links)
        QObject::disconnect(link);
}

} // namespace vellamor
