#pragma once

class QWebSocket;

namespace vellamor {

// Ends a client socket this side is done with: an open one is closed with
// code 1001 (going away), one still connecting is aborted. The socket is
// deleted once it has ended; one whose peer never completes the close is
// aborted after a grace period, so it does not linger.
void closeGoingAway(QWebSocket* socket);

} // namespace vellamor
