#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A failure of the HTTP transport itself, thrown by AuthedSession: the
// request got no complete HTTP answer. (A cancelled request throws
// CancellationError instead.) Clients pass it on or map it as their own
// rules say.
class NetworkError final : public Error {
public:
    enum class Kind {
        timedOut,               // a request or whole-request time limit ran out
        cannotConnect,          // the server refused or could not be reached
        hostNotFound,           // the host name did not resolve
        connectionLost,         // the connection ended before a complete answer
        secureConnectionFailed, // TLS handshake or certificate failure
        tooManyRedirects,       // the redirect chain did not end
        badURL,                 // the URL or its scheme cannot be requested
        other,                  // anything else the network stack reports
    };

    NetworkError(Kind kind, QString detail = {});

    Kind kind() const { return kind_; }
    // The network stack's own wording, when it gave one.
    const QString& detail() const { return detail_; }

    QString errorDescription() const override;
    QString debugDescription() const override;

    static QString kindName(Kind kind);

private:
    Kind kind_;
    QString detail_;
};

} // namespace vellamor
