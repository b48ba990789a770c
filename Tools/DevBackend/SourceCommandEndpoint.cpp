#include "SourceCommandEndpoint.h"

#include "DevHttpRequest.h"

#include <QJsonDocument>
#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>

namespace vellamor::devbackend {

const QString SourceCommandEndpoint::path = QStringLiteral("/v1/source-commands");

namespace {

// The bearer token of a handshake's Authorization header; none without a
// non-empty one.
std::optional<QString> tokenOf(const std::optional<QByteArray>& authorization)
{
    if (!authorization || !authorization->startsWith("Bearer "))
        return std::nullopt;
    const QString token = QString::fromUtf8(authorization->mid(7));
    if (token.isEmpty())
        return std::nullopt;
    return token;
}

} // namespace

SourceCommandEndpoint::SourceCommandEndpoint(AccountOf accountOf, QObject* parent)
    : QObject(parent)
    , accountOf_(std::move(accountOf))
    , server_(QStringLiteral("vellamor-devserver source-commands"), QWebSocketServer::NonSecureMode)
{
    connect(&server_, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket* socket = server_.nextPendingConnection())
            adopt(socket);
    });
}

SourceCommandEndpoint::~SourceCommandEndpoint()
{
    // The sockets call back into this object while closing.
    for (const Live& live : live_) {
        if (live.socket) {
            live.socket->disconnect(this);
            delete live.socket;
        }
    }
}

void SourceCommandEndpoint::record(Handshake handshake)
{
    handshakes_.push_back(std::move(handshake));
    if (handshakes_.size() > maxRecorded)
        handshakes_.pop_front();
}

void SourceCommandEndpoint::accept(QTcpSocket* socket, const DevHttpRequest& head)
{
    const std::optional<QByteArray> authorization = head.header("Authorization");
    const bool accepted = tokenOf(authorization).has_value();
    record(Handshake{authorization, accepted});
    if (accepted) {
        upgraded_.push_back(socket);
        server_.handleConnection(socket);
        return;
    }
    socket->write("HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    socket->disconnectFromHost();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
}

void SourceCommandEndpoint::adopt(QWebSocket* socket)
{
    socket->setParent(this);
    auto record = std::make_shared<Connection>();
    const std::optional<QString> token = tokenOf(socket->request().rawHeader("Authorization"));
    record->account = token ? accountOf_(*token) : QString();
    connections_.push_back(record);
    if (connections_.size() > maxRecorded)
        connections_.pop_front();
    // Its TCP connection is the upgraded one from the same client port.
    QPointer<QTcpSocket> connection;
    upgraded_.erase(std::remove(upgraded_.begin(), upgraded_.end(), nullptr), upgraded_.end());
    for (auto it = upgraded_.begin(); it != upgraded_.end(); ++it) {
        if ((*it)->peerPort() == socket->peerPort()) {
            connection = *it;
            upgraded_.erase(it);
            break;
        }
    }
    live_.push_back(Live{socket, connection, record});

    connect(socket, &QWebSocket::disconnected, this, [this, socket, record] {
        record->open = false;
        record->closeCode = static_cast<int>(socket->closeCode());
        const auto gone = [socket](const Live& live) { return live.socket == socket; };
        live_.erase(std::remove_if(live_.begin(), live_.end(), gone), live_.end());
        socket->deleteLater();
    });
}

bool SourceCommandEndpoint::isOpen(const Live& live)
{
    // A deaf connection ends unnoticed; its socket then stops being valid.
    return live.socket && live.record->open && live.socket->isValid();
}

std::vector<QWebSocket*> SourceCommandEndpoint::openSockets() const
{
    std::vector<QWebSocket*> sockets;
    for (const Live& live : live_) {
        if (isOpen(live))
            sockets.push_back(live.socket);
    }
    return sockets;
}

int SourceCommandEndpoint::push(const QString& account, const QJsonObject& frame)
{
    const QString text = QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact));
    int sent = 0;
    for (const Live& live : live_) {
        if (isOpen(live) && live.record->account == account) {
            live.socket->sendTextMessage(text);
            ++sent;
        }
    }
    return sent;
}

void SourceCommandEndpoint::sendText(const QString& text)
{
    for (QWebSocket* socket : openSockets())
        socket->sendTextMessage(text);
}

void SourceCommandEndpoint::sendBinary(const QByteArray& data)
{
    for (QWebSocket* socket : openSockets())
        socket->sendBinaryMessage(data);
}

void SourceCommandEndpoint::deafen()
{
    for (const Live& live : live_) {
        // The WebSocket reads only when its connection signals new data.
        if (isOpen(live) && live.connection)
            live.connection->blockSignals(true);
    }
}

void SourceCommandEndpoint::drop()
{
    for (const Live& live : std::vector<Live>(live_)) {
        if (!live.socket || !live.record->open)
            continue;
        // A deaf connection must hear its own end, or it would stay on record as open.
        if (live.connection)
            live.connection->blockSignals(false);
        live.socket->abort();
    }
}

int SourceCommandEndpoint::openCount() const
{
    return static_cast<int>(openSockets().size());
}

void SourceCommandEndpoint::clearRecords()
{
    handshakes_.clear();
    connections_.clear();
}

} // namespace vellamor::devbackend
