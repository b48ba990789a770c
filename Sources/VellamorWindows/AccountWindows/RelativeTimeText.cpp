#include "AccountWindows/RelativeTimeText.h"

#include <QDateTime>

#include <unicode/ureldatefmt.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace vellamor {

namespace {

struct Amount {
    double value;
    URelativeDateTimeUnit unit;
};

// A date as milliseconds since 1970 that QDateTime can hold: the double is
// clamped before it becomes an integer, which is undefined behaviour for NaN
// and for values out of range. The bound is ±100,000,000 days (about
// ±273,790 years), the range of ECMAScript dates.
qint64 clampedMSecs(Date date)
{
    constexpr double limit = 8.64e15;
    const double msecs = date.secondsSince1970() * 1000;
    return static_cast<qint64>(std::clamp(msecs, -limit, limit));
}

// Whole calendar months from `earlier` to `later`.
int monthsBetween(const QDateTime& earlier, const QDateTime& later)
{
    int months = (later.date().year() - earlier.date().year()) * 12 + later.date().month() - earlier.date().month();
    if (months > 0 && earlier.addMonths(months) > later)
        --months;
    return months;
}

Amount amountBetween(Date date, Date now)
{
    const double seconds = date.secondsSince(now);
    const double span = std::abs(seconds);
    const double sign = seconds < 0 ? -1.0 : 1.0;
    const auto whole = [sign](double count, URelativeDateTimeUnit unit) {
        return Amount{sign * std::trunc(count), unit};
    };
    if (span < 60)
        return whole(span, UDAT_REL_UNIT_SECOND);
    if (span < 3600)
        return whole(span / 60, UDAT_REL_UNIT_MINUTE);
    if (span < 86400)
        return whole(span / 3600, UDAT_REL_UNIT_HOUR);
    if (span < 7 * 86400)
        return whole(span / 86400, UDAT_REL_UNIT_DAY);
    const QDateTime a = QDateTime::fromMSecsSinceEpoch(clampedMSecs(std::min(date, now)));
    const QDateTime b = QDateTime::fromMSecsSinceEpoch(clampedMSecs(std::max(date, now)));
    const int months = monthsBetween(a, b);
    if (months < 1)
        return whole(span / (7 * 86400), UDAT_REL_UNIT_WEEK);
    if (months < 12)
        return whole(months, UDAT_REL_UNIT_MONTH);
    return whole(months / 12, UDAT_REL_UNIT_YEAR);
}

} // namespace

QString relativeTimeText(Date date, Date now, RelativeTimeStyle style)
{
    // No distance to tell (a NaN date, or two infinite ones).
    if (std::isnan(date.secondsSince(now)))
        return QString();
    UErrorCode status = U_ZERO_ERROR;
    const UDateRelativeDateTimeFormatterStyle width =
        style == RelativeTimeStyle::full ? UDAT_STYLE_LONG : UDAT_STYLE_SHORT;
    std::unique_ptr<URelativeDateTimeFormatter, decltype(&ureldatefmt_close)> formatter(
        ureldatefmt_open("zh_CN", nullptr, width, UDISPCTX_CAPITALIZATION_NONE, &status), &ureldatefmt_close);
    if (U_FAILURE(status))
        return QString();
    const Amount amount = amountBetween(date, now);
    UChar text[64];
    const int32_t length =
        ureldatefmt_formatNumeric(formatter.get(), amount.value, amount.unit, text, std::size(text), &status);
    if (U_FAILURE(status))
        return QString();
    return QString::fromUtf16(text, length);
}

} // namespace vellamor
