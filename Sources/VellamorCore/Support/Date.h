#pragma once

#include <QDateTime>
#include <QString>

#include <compare>
#include <optional>

namespace vellamor {

// A point in time as seconds since 1970-01-01T00:00:00Z held in a double
// (sub-microsecond precision for present-day dates). QDateTime appears only
// at UI edges.
//
// Unit conversions (seconds, milliseconds, microseconds as qint64):
// - From a count: the double nearest to count / unit.
// - To a count: the exact value truncated toward zero. When the date is the
//   conversion of the next count away from zero, that count is returned, so
//   every count survives the round trip while doubles can tell neighbouring
//   counts apart (milliseconds below about ±2^43 s, microseconds below about
//   ±2^33 s, seconds up to ±2^53). A date parsed from "…:42.123Z" therefore
//   gives …123 ms although the double sits a hair below .123.
// - Beyond the qint64 range the result saturates; NaN gives 0.
class Date {
public:
    constexpr Date() = default;
    constexpr explicit Date(double secondsSince1970) : seconds_(secondsSince1970) { }

    static Date now();

    constexpr double secondsSince1970() const { return seconds_; }

    static Date fromUnixSeconds(qint64 seconds);
    static Date fromUnixMilliseconds(qint64 milliseconds);
    static Date fromUnixMicroseconds(qint64 microseconds);
    qint64 toUnixSeconds() const;
    qint64 toUnixMilliseconds() const;
    qint64 toUnixMicroseconds() const;

    // RFC 3339 / ISO 8601 internet date-time: "2026-03-01T08:15:42Z",
    // "2026-03-01T08:15:42.123Z", "2026-03-01T16:15:42.123456+08:00" (also
    // "+0800" and "+08"). Any number of fraction digits; digits past the
    // ninth are ignored. A time without a zone, a date alone, out-of-range
    // fields (month 13, 24:00, second 60) and surrounding blanks give none.
    static std::optional<Date> fromIso8601(QStringView text);
    // The three forms HTTP's Date header takes, with English names, always
    // GMT: "Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT"
    // (the two-digit year the latest one at most 50 years after `now`'s) and
    // "Sun Nov  6 08:49:37 1994". Names in another case, a weekday that is
    // not the date's, and surrounding blanks give none.
    static std::optional<Date> fromHttpDate(QStringView text, Date now = Date::now());
    // The span the four-digit year of the text form can carry, years 0001 to 9999.
    static constexpr Date earliestFormattable() { return Date(-62135596800.0); }     // 0001-01-01T00:00:00Z
    static constexpr Date latestFormattable() { return Date(253402300799.999); }      // 9999-12-31T23:59:59.999Z
    bool isFormattable() const { return *this >= earliestFormattable() && *this <= latestFormattable(); }

    // The two formatters clamp a date outside that span (NaN counts as 1970)
    // to its nearer end, so whatever they write fromIso8601 reads back.
    // UTC with whole seconds, "2026-03-01T08:15:42Z" (the second the date lies in).
    QString toIso8601() const;
    // UTC with milliseconds, "2026-03-01T08:15:42.123Z" (the millisecond the date lies in).
    QString toIso8601WithMilliseconds() const;

    // Millisecond precision; an invalid QDateTime gives none.
    static std::optional<Date> fromDateTime(const QDateTime& dateTime);
    QDateTime toDateTime() const; // Qt::UTC, so ISO text ends in "Z"

    constexpr Date addingSeconds(double seconds) const { return Date(seconds_ + seconds); }
    constexpr double secondsSince(Date earlier) const { return seconds_ - earlier.seconds_; }

    friend constexpr bool operator==(Date, Date) = default;
    friend constexpr std::partial_ordering operator<=>(Date a, Date b) { return a.seconds_ <=> b.seconds_; }

private:
    QString formatUtc(bool withMilliseconds) const;

    double seconds_ = 0.0;
};

} // namespace vellamor
