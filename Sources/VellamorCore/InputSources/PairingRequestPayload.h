#pragma once

#include <QJsonValue>
#include <QString>

namespace vellamor {

// The device that asks to be bound to the account, as a "pairing_request"
// frame carries it. All five members are required: "source_id" (exact
// integer, sent back with the user's answer), "friendly_name", "ip",
// "ua_hash" and "expires_at" (an integer, not interpreted here).
struct PairingRequestPayload {
    qint64 sourceID = 0;
    QString friendlyName;
    QString ip;
    QString uaHash;
    qint64 expiresAt = 0;

    static PairingRequestPayload fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const PairingRequestPayload&, const PairingRequestPayload&) = default;
};

} // namespace vellamor
