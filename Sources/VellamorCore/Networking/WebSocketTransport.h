#pragma once

#include "Networking/WSMessage.h"
#include "Support/Async/Channel.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <optional>

namespace vellamor {

// The messages received on one connection, in arrival order; it ends
// normally when this side closes or replaces the connection, and with the
// error when the connection fails. One consumer.
using WSIncomingStream = Channel<WSMessage>;

// A message channel to the speech service, so the cloud recogniser can run
// over any transport. What the recogniser relies on:
// - incoming() read after connect() is that connection's stream, holding
//   every message that arrived since connect();
// - a send() made right after connect(), before the opening handshake has
//   finished, is held and goes out once the connection is open; when the
//   handshake fails, it fails with the handshake's error.
class WebSocketTransport {
public:
    virtual ~WebSocketTransport() = default;

    // Opens a connection to `url`, with the bearer token when one is given.
    virtual QCoro::Task<void> connect(QUrl url, std::optional<QString> bearerToken) = 0;
    QCoro::Task<void> connect(QUrl url) { return connect(std::move(url), std::nullopt); }

    // Sends one message on the current connection.
    virtual QCoro::Task<void> send(WSMessage message) = 0;

    // Closes the current connection.
    virtual QCoro::Task<void> close() = 0;

    // The stream of the current connection.
    virtual WSIncomingStream incoming() = 0;
};

} // namespace vellamor
