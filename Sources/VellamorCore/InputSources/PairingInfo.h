#pragma once

#include "Support/Date.h"

#include <QString>

namespace vellamor {

// A pairing code just created, built by InputSourceAPI from the server's
// answer: the code exactly as sent, when it expires, and the pairing page
// address the QR code shows.
struct PairingInfo {
    QString code;
    Date expiresAt;
    QString qrURL;

    friend bool operator==(const PairingInfo&, const PairingInfo&) = default;
};

} // namespace vellamor
