#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// The account's points balance ("wallet.me").
struct WalletInfo {
    qint64 monthlyPoints = 0;
    qint64 permanentPoints = 0;
    qint64 total = 0;
    std::optional<Date> monthlyPeriodStart;
    qint64 asrPointsPerSecond = 1;
    qint64 polishPoints = 10;

    // Every key may be absent or null: "monthly_points" and
    // "permanent_points" read as 0, "asr_points_per_second" as 1,
    // "polish_points" as 10, "monthly_period_start" (a decodeFlexibleDate
    // string) as none, and "total" as the sum of the two balances, clamped to
    // the 64-bit range. A total the server sends is kept as sent. Encoding
    // leaves out an absent date.
    QJsonValue toJson() const;
    static WalletInfo fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const WalletInfo&, const WalletInfo&) = default;
};

} // namespace vellamor
