#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace vellamor::platform {

// Whether the D-Bus daemon behind an address answers at all, asked without
// Qt's D-Bus thread and without waiting. Qt connects on the one thread that
// serves all of its connections and waits there, and libdbus waits in its
// handshake without a time limit: a daemon that stopped (SIGSTOP) would
// hold every D-Bus call of the process, and the pool thread that asked,
// which the application waits for at its end. The probe opens the socket
// and begins the handshake; any answer will do.
class DBusDaemonProbe {
public:
    // A socket the probe can reach: a file, or a name in the abstract namespace.
    struct Socket {
        QString name;
        bool abstract = false;

        bool operator==(const Socket&) const = default;
    };

    // The first "unix:" entry with a path or an abstract name (values
    // unescaped); none when the address names only other transports.
    static std::optional<Socket> socketOf(const QString& address);

    // Calls `answered` on `context`'s thread with whether the daemon answered
    // within `limit`; an address without a socket the probe can reach counts
    // as answering, so the caller connects as it would without the probe.
    // Nothing is called once `context` is gone.
    static void ask(const QString& address, std::chrono::milliseconds limit, QObject* context,
                    std::function<void(bool)> answered);
};

} // namespace vellamor::platform
