#include "App/SingleInstance.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

namespace vellamor {

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , socketPath_(std::move(socketPath))
{
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance()
{
    server_.close();
}

bool SingleInstance::isAnotherInstanceRunning(const QByteArray& message, std::chrono::milliseconds wait)
{
    auto lock = std::make_unique<QLockFile>(socketPath_ + QStringLiteral(".lock"));
    // A lock whose process has died is taken over at once; a live one is never stale.
    lock->setStaleLockTime(std::chrono::milliseconds::zero());
    if (!lock->tryLock(std::chrono::milliseconds::zero())) {
        forward(message, wait);
        return true;
    }
    lock_ = std::move(lock);
    // Only the holder of the lock gets here, so the socket file can only be
    // a crashed instance's.
    QLocalServer::removeServer(socketPath_);
    server_.listen(socketPath_);
    return false;
}

bool SingleInstance::forward(const QByteArray& message, std::chrono::milliseconds wait)
{
    // A cut message could still parse as something the sender never meant.
    if (message.size() > maxMessageBytes)
        return false;
    // The first process takes the lock before it listens: give it the time.
    const QDeadlineTimer deadline(wait);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0))))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    socket.write(message);
    while (socket.bytesToWrite() > 0 && !deadline.hasExpired())
        socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    const bool sent = socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 0)));
    return sent;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        // One message per connection: everything the sender wrote before it
        // went away.
        auto received = std::make_shared<QByteArray>();
        QPointer<SingleInstance> self(this);
        connect(socket, &QLocalSocket::readyRead, socket, [socket, received] {
            received->append(socket->readAll());
            if (received->size() > maxMessageBytes)
                socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, socket, [self, socket, received] {
            received->append(socket->readAll());
            socket->deleteLater();
            if (self && received->size() <= maxMessageBytes)
                Q_EMIT self->messageReceived(*received);
        });
        if (socket->state() != QLocalSocket::ConnectedState) {
            received->append(socket->readAll());
            socket->deleteLater();
            if (received->size() <= maxMessageBytes)
                Q_EMIT messageReceived(*received);
        }
    }
}

} // namespace vellamor
