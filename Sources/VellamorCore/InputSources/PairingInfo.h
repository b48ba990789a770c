#pragma once

#include "Support/Date.h"

#include <QString>

#include <optional>

namespace vellamor {

// A pairing code just created, built by InputSourceAPI from the server's
// answer: the code exactly as sent, when it expires, the pairing page
// address the QR code shows, and when the service issued it (its answer's
// Date header, to the second; none without one). Both times are by the
// service's clock, which may be far from this computer's.
struct PairingInfo {
    QString code;
    Date expiresAt;
    QString qrURL;
    std::optional<Date> issuedAt;

    friend bool operator==(const PairingInfo&, const PairingInfo&) = default;
};

} // namespace vellamor
