#include "Networking/WebSocketClosing.h"

#include <QTimer>
#include <QWebSocket>

#include <chrono>

namespace vellamor {

namespace {

constexpr std::chrono::milliseconds closingGrace{5000};

} // namespace

void closeGoingAway(QWebSocket* socket)
{
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->close(QWebSocketProtocol::CloseCodeGoingAway);
    else if (socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort();

    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    QObject::connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(closingGrace, socket, [socket] { socket->abort(); });
}

} // namespace vellamor
