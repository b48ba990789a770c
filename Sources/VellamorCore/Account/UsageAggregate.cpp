#include "Account/UsageAggregate.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue UsageAggregate::toJson() const
{
    JsonWriter writer;
    writer.insert(u"audio_seconds", audioSeconds)
        .insert(u"output_chars", outputChars)
        .insert(u"sessions_count", sessionsCount)
        .insert(u"transform_count", transformCount)
        .insert(u"consumed_polish_chars", consumedPolishChars)
        .insert(u"remaining_polish_chars", remainingPolishChars)
        .insert(u"period_start", periodStart.toIso8601())
        .insert(u"period_end", periodEnd.toIso8601())
        .insert(u"period", period);
    return writer.object();
}

UsageAggregate UsageAggregate::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    UsageAggregate usage;
    usage.audioSeconds = reader.requireInt64(u"audio_seconds");
    usage.outputChars = reader.requireInt64(u"output_chars");
    usage.sessionsCount = reader.requireInt64(u"sessions_count");
    usage.transformCount = reader.requireInt64(u"transform_count");
    usage.consumedPolishChars = reader.optionalInt64(u"consumed_polish_chars").value_or(0);
    usage.remainingPolishChars = reader.optionalInt64(u"remaining_polish_chars").value_or(0);
    usage.periodStart = decodeFlexibleDate(reader.value(u"period_start"), reader.pathFor(u"period_start"));
    usage.periodEnd = decodeFlexibleDate(reader.value(u"period_end"), reader.pathFor(u"period_end"));
    usage.period = reader.requireString(u"period");
    return usage;
}

} // namespace vellamor
