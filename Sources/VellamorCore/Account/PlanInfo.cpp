#include "Account/PlanInfo.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

#include <limits>

namespace vellamor {

namespace {

qint64 used(qint64 limit, qint64 remaining)
{
    if (limit < 1)
        return 0;
    qint64 difference = 0;
    if (__builtin_sub_overflow(limit, remaining, &difference))
        return std::numeric_limits<qint64>::max(); // limit ≥ 1, so only a remainder far below zero gets here
    return difference < 0 ? 0 : difference;
}

} // namespace

qint64 PlanInfo::usedAudioSec() const
{
    return used(weeklyAudioSecLimit, remainingAudioSec);
}

qint64 PlanInfo::usedTransform() const
{
    return used(weeklyTransformLimit, remainingTransform);
}

QJsonValue PlanInfo::toJson() const
{
    JsonWriter writer;
    writer.insert(u"plan", plan)
        .insert(u"monthly_points_grant", monthlyPointsGrant)
        .insert(u"weekly_audio_sec_limit", weeklyAudioSecLimit)
        .insert(u"weekly_transform_limit", weeklyTransformLimit)
        .insert(u"weekly_polish_char_limit", weeklyPolishCharLimit)
        .insert(u"allow_slow_queue", allowSlowQueue)
        .insert(u"remaining_audio_sec", remainingAudioSec)
        .insert(u"remaining_transform", remainingTransform)
        .insert(u"remaining_polish_char", remainingPolishChar);
    if (expiresAt)
        writer.insert(u"expires_at", expiresAt->toIso8601());
    return writer.object();
}

PlanInfo PlanInfo::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    PlanInfo info;
    info.plan = reader.requireString(u"plan");
    info.monthlyPointsGrant = reader.optionalInt64(u"monthly_points_grant").value_or(0);
    info.weeklyAudioSecLimit = reader.requireInt64(u"weekly_audio_sec_limit");
    info.weeklyTransformLimit = reader.requireInt64(u"weekly_transform_limit");
    info.weeklyPolishCharLimit = reader.optionalInt64(u"weekly_polish_char_limit").value_or(0);
    info.allowSlowQueue = reader.optionalBool(u"allow_slow_queue").value_or(false);
    info.remainingAudioSec = reader.requireInt64(u"remaining_audio_sec");
    info.remainingTransform = reader.requireInt64(u"remaining_transform");
    info.remainingPolishChar = reader.optionalInt64(u"remaining_polish_char").value_or(0);
    if (reader.hasValue(u"expires_at"))
        info.expiresAt = decodeFlexibleDate(reader.value(u"expires_at"), reader.pathFor(u"expires_at"));
    return info;
}

} // namespace vellamor
