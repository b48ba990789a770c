#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

namespace vellamor {

// What the account used in one period ("usage.me").
struct UsageAggregate {
    qint64 audioSeconds = 0;
    qint64 outputChars = 0;
    qint64 sessionsCount = 0;
    qint64 transformCount = 0;
    qint64 consumedPolishChars = 0;
    qint64 remainingPolishChars = 0;
    Date periodStart;
    Date periodEnd;
    QString period;

    // Keys "audio_seconds", "output_chars", "sessions_count",
    // "transform_count", "period_start", "period_end" and "period" are
    // required; "consumed_polish_chars" and "remaining_polish_chars" read as
    // 0 when absent or null. Dates are decodeFlexibleDate strings.
    QJsonValue toJson() const;
    static UsageAggregate fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const UsageAggregate&, const UsageAggregate&) = default;
};

} // namespace vellamor
