#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// The account's plan with its weekly limits and what is left of them ("plan.get").
struct PlanInfo {
    QString plan;
    qint64 monthlyPointsGrant = 0;
    qint64 weeklyAudioSecLimit = 0;
    qint64 weeklyTransformLimit = 0;
    qint64 weeklyPolishCharLimit = 0;
    bool allowSlowQueue = false;
    qint64 remainingAudioSec = 0;
    qint64 remainingTransform = 0;
    qint64 remainingPolishChar = 0;
    std::optional<Date> expiresAt;

    // Limit minus remainder, never below 0; 0 for a limit below 1. A
    // difference beyond the 64-bit range (a remainder far below zero) gives
    // the largest value.
    qint64 usedAudioSec() const;
    qint64 usedTransform() const;

    // Keys "plan", "weekly_audio_sec_limit", "weekly_transform_limit",
    // "remaining_audio_sec" and "remaining_transform" are required;
    // "monthly_points_grant", "weekly_polish_char_limit",
    // "remaining_polish_char" (0), "allow_slow_queue" (false) and
    // "expires_at" (none) may be absent or null. The date is a
    // decodeFlexibleDate string; encoding leaves out an absent one.
    QJsonValue toJson() const;
    static PlanInfo fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const PlanInfo&, const PlanInfo&) = default;
};

} // namespace vellamor
