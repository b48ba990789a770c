#include "Account/WalletInfo.h"

#include "Networking/FlexibleDate.h"
#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

#include <limits>

namespace vellamor {

namespace {

qint64 clampedSum(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return a < 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}

} // namespace

QJsonValue WalletInfo::toJson() const
{
    JsonWriter writer;
    writer.insert(u"monthly_points", monthlyPoints)
        .insert(u"permanent_points", permanentPoints)
        .insert(u"total", total);
    if (monthlyPeriodStart)
        writer.insert(u"monthly_period_start", monthlyPeriodStart->toIso8601());
    writer.insert(u"asr_points_per_second", asrPointsPerSecond).insert(u"polish_points", polishPoints);
    return writer.object();
}

WalletInfo WalletInfo::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    WalletInfo wallet;
    wallet.monthlyPoints = reader.optionalInt64(u"monthly_points").value_or(0);
    wallet.permanentPoints = reader.optionalInt64(u"permanent_points").value_or(0);
    wallet.total = reader.optionalInt64(u"total").value_or(clampedSum(wallet.monthlyPoints, wallet.permanentPoints));
    if (reader.hasValue(u"monthly_period_start"))
        wallet.monthlyPeriodStart =
            decodeFlexibleDate(reader.value(u"monthly_period_start"), reader.pathFor(u"monthly_period_start"));
    wallet.asrPointsPerSecond = reader.optionalInt64(u"asr_points_per_second").value_or(1);
    wallet.polishPoints = reader.optionalInt64(u"polish_points").value_or(10);
    return wallet;
}

} // namespace vellamor
