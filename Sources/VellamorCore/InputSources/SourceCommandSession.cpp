#include "InputSources/SourceCommandSession.h"

#include "Models/NetworkError.h"
#include "Models/VellamorTransportError.h"
#include "Networking/WebSocketClosing.h"
#include "Networking/WebSocketSession.h"
#include "Support/Async/MainThread.h"
#include "Support/Async/Sleep.h"
#include "Support/Error.h"
#include "Support/Json/JsonReader.h"
#include "Support/TextGraphemes.h"
#include "Support/UrlPath.h"
#include "Support/Utf8Text.h"

#include <QTimer>
#include <QWebSocket>

#include <algorithm>
#include <utility>

namespace vellamor {

namespace {

std::optional<QString> probeType(const QByteArray& json)
{
    try {
        return JsonReader::parse(json).requireString(u"type");
    } catch (const Error&) {
        return std::nullopt;
    }
}

} // namespace

// One socket and what its receive side has seen. The messages channel ends
// with an error when the socket ends, for whatever reason: like a pending
// receive, a loop waiting on it always hears of the end.
struct SourceCommandSession::Socket {
    QPointer<QWebSocket> webSocket;
    Channel<WSMessage> messages;
    bool isOpen = false;
    bool ended = false;
    bool timedOut = false;
    QString errorText;
    // Pings asked for and not yet answered; a pong answers the oldest.
    int pendingPings = 0;
};

SourceCommandSession::Clock SourceCommandSession::Clock::system()
{
    return Clock{&std::chrono::steady_clock::now,
                 [](std::chrono::milliseconds duration, std::stop_token token) {
                     return sleepFor(duration, std::move(token));
                 }};
}

SourceCommandSession::SourceCommandSession(const QUrl& wsBaseURL, AccessTokenProvider tokenProvider, QObject* parent)
    : SourceCommandSession(wsBaseURL, std::move(tokenProvider), defaultLog(), Timing{}, Clock::system(), parent)
{
}

SourceCommandSession::SourceCommandSession(const QUrl& wsBaseURL, AccessTokenProvider tokenProvider, VellamorLog log,
                                           Timing timing, Clock clock, QObject* parent)
    : QObject(parent)
    , wsURL_(appendingPath(wsBaseURL, QStringLiteral("v1/source-commands")))
    , tokenProvider_(std::move(tokenProvider))
    , log_(std::move(log))
    , timing_(std::move(timing))
    , clock_(std::move(clock))
{
}

SourceCommandSession::~SourceCommandSession()
{
    running_ = false;
    ++connectGeneration_;
    cancelAllTasks();
    if (const auto socket = std::exchange(current_, nullptr)) {
        endSocket(socket, std::make_exception_ptr(VellamorTransportError::connectionClosed()));
        if (socket->webSocket) {
            socket->webSocket->disconnect(this);
            socket->webSocket->abort();
        }
    }
    if (stream_)
        stream_->finish();
}

VellamorLog SourceCommandSession::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("source-cmd"));
}

SourceCommandSession::DecodeFailureLevel SourceCommandSession::decodeFailureLevel(
    const std::optional<QString>& typeField)
{
    return typeField && SourceCommand::knownTypes().contains(*typeField) ? DecodeFailureLevel::error
                                                                         : DecodeFailureLevel::warn;
}

SourceCommandStream SourceCommandSession::commands()
{
    if (!stream_)
        stream_ = SourceCommandStream();
    return *stream_;
}

QCoro::Task<void> SourceCommandSession::start()
{
    if (running_) {
        log_.info(QStringLiteral("start ignored: already running"));
        co_return;
    }
    running_ = true;
    backoffIndex_ = 0;
    commands();
    log_.info(QStringLiteral("start scheduling initial connect"));
    co_await connectOnce();
}

QCoro::Task<void> SourceCommandSession::stop()
{
    running_ = false;
    ++connectGeneration_;
    log_.info(QStringLiteral("stop requested"));
    cancelAllTasks();
    closeCurrent();
    co_return;
}

void SourceCommandSession::cancelAllTasks()
{
    for (TaskHandle* task : {&receiveLoopTask_, &heartbeatTask_, &reconnectTask_}) {
        task->cancel();
        *task = TaskHandle();
    }
}

QCoro::Task<void> SourceCommandSession::connectOnce()
{
    cancelAllTasks();
    closeCurrent();
    const std::uint64_t attempt = ++connectGeneration_;
    const QPointer<SourceCommandSession> self(this);
    const AccessTokenProvider provider = tokenProvider_;
    std::optional<QString> token;
    if (provider)
        token = co_await provider();
    if (!self || !running_ || attempt != connectGeneration_)
        co_return;

    const bool authed = token && !token->isEmpty();
    const QString host = wsURL_.host();
    log_.info(QStringLiteral("connect begin host=") + (host.isEmpty() ? QStringLiteral("nil") : host)
              + QStringLiteral(" authed=") + (authed ? QStringLiteral("true") : QStringLiteral("false")));
    const auto socket = openSocket(token);
    startReceiveLoop(socket);
    startHeartbeat(socket);
    log_.info(QStringLiteral("connect resumed"));
}

std::shared_ptr<SourceCommandSession::Socket> SourceCommandSession::openSocket(const std::optional<QString>& token)
{
    auto socket = std::make_shared<Socket>();
    socket->webSocket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    current_ = socket;
    lastPongAt_ = clock_.now();
    wire(socket);
    socket->webSocket->open(WebSocketSession::makeRequest(wsURL_, token));
    QTimer::singleShot(timing_.handshakeTimeout, socket->webSocket, [socket] {
        if (socket->isOpen || socket->ended || !socket->webSocket)
            return;
        socket->timedOut = true;
        socket->webSocket->abort();
    });
    return socket;
}

void SourceCommandSession::wire(const std::shared_ptr<Socket>& socket)
{
    QWebSocket* webSocket = socket->webSocket;
    const auto deliver = [socket](WSMessage message) {
        if (!socket->ended)
            socket->messages.push(std::move(message));
    };
    const auto end = [this, socket] {
        if (socket->ended)
            return;
        NetworkError error(NetworkError::Kind::connectionLost, QStringLiteral("the peer closed the connection"));
        if (socket->timedOut)
            error = NetworkError(NetworkError::Kind::timedOut, QStringLiteral("the handshake did not finish in time"));
        else if (!socket->errorText.isEmpty())
            error = NetworkError(NetworkError::Kind::other, socket->errorText);
        endSocket(socket, std::make_exception_ptr(error));
        if (socket->webSocket)
            socket->webSocket->deleteLater();
    };

    QObject::connect(webSocket, &QWebSocket::textMessageReceived, this,
                     [deliver](const QString& text) { deliver(WSMessage::text(text)); });
    QObject::connect(webSocket, &QWebSocket::binaryMessageReceived, this,
                     [deliver](const QByteArray& data) { deliver(WSMessage::binary(data)); });
    QObject::connect(webSocket, &QWebSocket::connected, this, [socket] {
        socket->isOpen = true;
        // Pings asked for during the handshake go out now: written earlier
        // they would corrupt it.
        for (int i = 0; i < socket->pendingPings; ++i)
            socket->webSocket->ping();
    });
    QObject::connect(webSocket, &QWebSocket::pong, this, [this, socket] {
        if (socket->pendingPings == 0)
            return;
        --socket->pendingPings;
        postTo(this, [this, socket] { handlePongResult(socket, nullptr); });
    });
    QObject::connect(webSocket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this, [this, socket, end] {
        if (socket->errorText.isEmpty() && socket->webSocket)
            socket->errorText = socket->webSocket->errorString();
        // Queued: the socket is in the middle of emitting, and a refused
        // handshake may leave it without a disconnect.
        postTo(this, [socket, end] {
            if (socket->webSocket && socket->webSocket->state() != QAbstractSocket::UnconnectedState)
                socket->webSocket->abort();
            else
                end();
        });
    });
    QObject::connect(webSocket, &QWebSocket::disconnected, this, end);
}

void SourceCommandSession::endSocket(const std::shared_ptr<Socket>& socket, const std::exception_ptr& error)
{
    socket->ended = true;
    socket->messages.finish(error);
    for (int i = std::exchange(socket->pendingPings, 0); i > 0; --i)
        postTo(this, [this, socket, error] { handlePongResult(socket, error); });
}

void SourceCommandSession::closeCurrent()
{
    const auto socket = std::exchange(current_, nullptr);
    if (!socket || socket->ended)
        return;
    endSocket(socket, std::make_exception_ptr(VellamorTransportError::connectionClosed()));
    if (socket->webSocket)
        closeGoingAway(socket->webSocket);
}

void SourceCommandSession::scheduleReconnect(const QString& reason)
{
    if (!running_) {
        log_.info(QStringLiteral("reconnect skipped: not running (") + reason + QStringLiteral(")"));
        return;
    }
    if (reconnectTask_.isValid()) {
        log_.info(QStringLiteral("reconnect already scheduled (") + reason + QStringLiteral(")"));
        return;
    }
    const std::size_t last = timing_.backoffSteps.size() - 1;
    const std::chrono::milliseconds delay = timing_.backoffSteps.at(std::min(backoffIndex_, last));
    backoffIndex_ = std::min(backoffIndex_ + 1, last);
    log_.info(QStringLiteral("reconnect in ")
              + QString::number(std::chrono::duration_cast<std::chrono::seconds>(delay).count())
              + QStringLiteral("s due to ") + reason);

    const std::uint64_t serial = ++reconnectSerial_;
    reconnectTask_ = TaskHandle::start([self = QPointer(this), delay, clock = clock_, serial](std::stop_token token) {
        return reconnectAfter(self, delay, clock, serial, std::move(token));
    });
}

QCoro::Task<void> SourceCommandSession::reconnectAfter(QPointer<SourceCommandSession> self,
                                                       std::chrono::milliseconds delay, Clock clock,
                                                       std::uint64_t serial, std::stop_token token)
{
    co_await clock.sleep(delay, token);
    if (token.stop_requested() || !self)
        co_return;
    if (self->reconnectSerial_ == serial)
        self->reconnectTask_ = TaskHandle();
    if (self->running_)
        co_await self->connectOnce();
}

void SourceCommandSession::startReceiveLoop(const std::shared_ptr<Socket>& socket)
{
    receiveLoopTask_.cancel();
    receiveLoopTask_ = TaskHandle::start([self = QPointer(this), socket](std::stop_token token) {
        return receiveLoop(self, socket, std::move(token));
    });
}

QCoro::Task<void> SourceCommandSession::receiveLoop(QPointer<SourceCommandSession> self,
                                                    std::shared_ptr<Socket> socket, std::stop_token token)
{
    for (;;) {
        if (token.stop_requested())
            co_return;
        std::optional<WSMessage> message;
        std::exception_ptr failure;
        try {
            // Not cut short by the stop request: like a socket's pending
            // receive, the wait ends with a message or with the socket's end.
            message = co_await socket->messages.next();
        } catch (...) {
            failure = std::current_exception();
        }
        if (!self)
            co_return;
        if (failure) {
            self->handleReceiveFailure(socket, failure);
            co_return;
        }
        if (!message || !self->handleMessage(socket, *message))
            co_return;
    }
}

bool SourceCommandSession::handleMessage(const std::shared_ptr<Socket>& socket, const WSMessage& message)
{
    if (socket != current_)
        return false;
    if (message.isText()) {
        decodeAndYield(message.text());
    } else if (const auto text = decodeUtf8Strictly(message.data())) {
        decodeAndYield(*text);
    } else {
        log_.warn(QStringLiteral("binary frame dropped: invalid utf-8 bytes=")
                  + QString::number(message.data().size()));
    }
    backoffIndex_ = 0;
    return true;
}

void SourceCommandSession::handleReceiveFailure(const std::shared_ptr<Socket>& socket, const std::exception_ptr& error)
{
    if (!running_) {
        log_.info(QStringLiteral("receive loop ended (stopped)"));
        return;
    }
    if (socket != current_)
        return;
    log_.warn(QStringLiteral("receive loop terminated: ") + describeException(error));
    closeCurrent();
    scheduleReconnect(QStringLiteral("receive-error"));
}

void SourceCommandSession::decodeAndYield(const QString& text)
{
    const QByteArray json = text.toUtf8();
    std::optional<SourceCommand> command;
    try {
        command = SourceCommand::decode(json);
    } catch (const Error&) {
        // Only a frame that fails is parsed a second time, for its type.
        const std::optional<QString> type = probeType(json);
        const QString length = QStringLiteral(" length=") + QString::number(graphemeCount(text));
        if (decodeFailureLevel(type) == DecodeFailureLevel::error)
            log_.error(QStringLiteral("known type decode failed type=") + *type + length);
        else
            log_.warn(QStringLiteral("decode cmd failed type=") + type.value_or(QStringLiteral("<nil>")) + length);
        return;
    }
    log_.info(QStringLiteral("source cmd received type=") + command->typeLabel());
    if (stream_)
        stream_->push(std::move(*command));
}

void SourceCommandSession::startHeartbeat(const std::shared_ptr<Socket>& socket)
{
    heartbeatTask_.cancel();
    heartbeatTask_ = TaskHandle::start(
        [self = QPointer(this), socket, clock = clock_, interval = timing_.heartbeatInterval](std::stop_token token) {
            return heartbeat(self, socket, clock, interval, std::move(token));
        });
}

QCoro::Task<void> SourceCommandSession::heartbeat(QPointer<SourceCommandSession> self, std::shared_ptr<Socket> socket,
                                                  Clock clock, std::chrono::milliseconds interval,
                                                  std::stop_token token)
{
    for (;;) {
        co_await clock.sleep(interval, token);
        if (token.stop_requested() || !self)
            co_return;
        self->tickHeartbeat(socket);
    }
}

void SourceCommandSession::tickHeartbeat(const std::shared_ptr<Socket>& socket)
{
    if (socket != current_)
        return;
    const auto silence = clock_.now() - lastPongAt_;
    if (silence > timing_.pongSilenceLimit) {
        log_.warn(QStringLiteral("heartbeat pong timeout silent=")
                  + QString::number(std::chrono::duration_cast<std::chrono::seconds>(silence).count())
                  + QStringLiteral("s"));
        closeCurrent();
        scheduleReconnect(QStringLiteral("pong-timeout"));
        return;
    }
    ++socket->pendingPings;
    if (socket->isOpen && socket->webSocket)
        socket->webSocket->ping();
}

void SourceCommandSession::handlePongResult(const std::shared_ptr<Socket>& socket, const std::exception_ptr& error)
{
    if (!error) {
        if (socket == current_)
            lastPongAt_ = clock_.now();
        return;
    }
    if (running_ && socket != current_)
        return;
    log_.warn(QStringLiteral("heartbeat ping failed: ") + describeException(error));
    closeCurrent();
    scheduleReconnect(QStringLiteral("ping-failed"));
}

} // namespace vellamor
