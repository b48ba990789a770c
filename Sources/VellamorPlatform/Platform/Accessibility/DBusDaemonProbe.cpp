#include "Platform/Accessibility/DBusDaemonProbe.h"

#include <QByteArray>
#include <QLocalSocket>
#include <QTimer>

#include <utility>

namespace vellamor::platform {

namespace {

// One handshake: an authentication request without a mechanism, which a
// running daemon answers with the mechanisms it knows.
class Handshake final : public QObject {
public:
    Handshake(const DBusDaemonProbe::Socket& socket, std::chrono::milliseconds limit,
              std::function<void(bool)> answered, QObject* parent)
        : QObject(parent)
        , answered_(std::move(answered))
    {
        if (socket.abstract)
            socket_.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        connect(&socket_, &QLocalSocket::connected, this,
                [this] { socket_.write(QByteArrayLiteral("\0AUTH\r\n")); });
        connect(&socket_, &QLocalSocket::readyRead, this, [this] { finish(true); });
        connect(&socket_, &QLocalSocket::errorOccurred, this, [this] { finish(false); });
        QTimer::singleShot(limit, this, [this] { finish(false); });
        socket_.connectToServer(socket.name);
    }

private:
    void finish(bool answered)
    {
        if (!answered_)
            return;
        const auto callback = std::exchange(answered_, nullptr);
        socket_.abort();
        deleteLater();
        callback(answered);
    }

    QLocalSocket socket_;
    std::function<void(bool)> answered_;
};

} // namespace

std::optional<DBusDaemonProbe::Socket> DBusDaemonProbe::socketOf(const QString& address)
{
    for (const QString& entry : address.split(u';', Qt::SkipEmptyParts)) {
        if (!entry.startsWith(QStringLiteral("unix:")))
            continue;
        for (const QString& pair : entry.mid(5).split(u',', Qt::SkipEmptyParts)) {
            const qsizetype equals = pair.indexOf(u'=');
            const QString key = pair.left(equals);
            const QString value = QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(equals + 1).toUtf8()));
            if (equals > 0 && key == QStringLiteral("path"))
                return Socket{value, false};
            if (equals > 0 && key == QStringLiteral("abstract"))
                return Socket{value, true};
        }
    }
    return std::nullopt;
}

void DBusDaemonProbe::ask(const QString& address, std::chrono::milliseconds limit, QObject* context,
                          std::function<void(bool)> answered)
{
    if (const auto socket = socketOf(address)) {
        new Handshake(*socket, limit, std::move(answered), context);
        return;
    }
    QTimer::singleShot(0, context, [answered = std::move(answered)] { answered(true); });
}

} // namespace vellamor::platform
