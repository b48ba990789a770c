#include "Support/Date.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <string_view>

namespace vellamor {

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
constexpr double kTwo63 = 9223372036854775808.0;

Date fromUnits(qint64 count, qint64 unitsPerSecond)
{
    // A long double holds every qint64 exactly, so only the division rounds
    // (and once more to double).
    return Date(static_cast<double>(static_cast<long double>(count) / static_cast<long double>(unitsPerSecond)));
}

qint64 saturatedSum(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? kMax : kMin;
    return sum;
}

enum class Rounding { towardZero, down };

// The count of units in `seconds`, computed from the exact product (no
// rounding of seconds * unitsPerSecond), then moved one unit when that unit
// converts back to exactly this date.
qint64 toUnits(double seconds, qint64 unitsPerSecond, Rounding rounding)
{
    if (std::isnan(seconds))
        return 0;
    if (std::isinf(seconds))
        return seconds > 0 ? kMax : kMin;

    const double whole = std::trunc(seconds);
    const double fraction = seconds - whole; // exact
    if (std::fabs(whole) >= kTwo63)
        return seconds > 0 ? kMax : kMin;

    qint64 wholeUnits = 0;
    if (__builtin_mul_overflow(static_cast<qint64>(whole), unitsPerSecond, &wholeUnits))
        return seconds > 0 ? kMax : kMin;

    // fraction * unitsPerSecond == product + error exactly (error-free product).
    const double factor = static_cast<double>(unitsPerSecond);
    const double product = fraction * factor;
    const double error = std::fma(fraction, factor, -product);
    double truncated = std::trunc(product);
    bool isInteger = false;
    if (product != truncated) {
        isInteger = false;
    } else if (error == 0.0) {
        isInteger = true;
    } else if (product > 0.0 && error < 0.0) {
        truncated -= 1.0;
    } else if (product < 0.0 && error > 0.0) {
        truncated += 1.0;
    }

    qint64 count = saturatedSum(wholeUnits, static_cast<qint64>(truncated));
    if (isInteger || (fraction == 0.0))
        return count;
    if (count == kMax || count == kMin)
        return count;

    const Date self(seconds);
    if (rounding == Rounding::down) {
        if (seconds < 0.0)
            count -= 1;
        if (fromUnits(count + 1, unitsPerSecond) == self)
            return count + 1;
        return count;
    }
    const qint64 awayFromZero = seconds > 0.0 ? count + 1 : count - 1;
    if (fromUnits(awayFromZero, unitsPerSecond) == self)
        return awayFromZero;
    return count;
}

qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
qint64 daysFromCivil(qint64 year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const qint64 era = floorDiv(year, 400);
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<qint64>(dayOfEra) - 719468;
}

struct Civil {
    qint64 year;
    unsigned month;
    unsigned day;
};

Civil civilFromDays(qint64 days)
{
    days += 719468;
    const qint64 era = floorDiv(days, 146097);
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    return { static_cast<qint64>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day };
}

bool isLeapYear(qint64 year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

unsigned daysInMonth(qint64 year, unsigned month)
{
    static constexpr unsigned lengths[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return month == 2 && isLeapYear(year) ? 29 : lengths[month - 1];
}

class Scanner {
public:
    explicit Scanner(QStringView text) : text_(text) { }

    bool atEnd() const { return pos_ == text_.size(); }
    bool peek(char16_t c) const { return !atEnd() && text_[pos_].unicode() == c; }
    bool peekDigit() const { return !atEnd() && text_[pos_].unicode() >= u'0' && text_[pos_].unicode() <= u'9'; }

    bool take(char16_t c)
    {
        if (!peek(c))
            return false;
        ++pos_;
        return true;
    }

    bool takeEither(char16_t a, char16_t b) { return take(a) || take(b); }

    // Exactly as written: HTTP's names are case-sensitive.
    bool take(std::u16string_view word)
    {
        if (!text_.sliced(pos_).startsWith(QStringView(word)))
            return false;
        pos_ += qsizetype(word.size());
        return true;
    }

    std::optional<unsigned> digits(int count)
    {
        unsigned value = 0;
        for (int i = 0; i < count; ++i) {
            if (!peekDigit())
                return std::nullopt;
            value = value * 10 + (text_[pos_].unicode() - u'0');
            ++pos_;
        }
        return value;
    }

private:
    QStringView text_;
    qsizetype pos_ = 0;
};

constexpr std::u16string_view kWeekdays[] = { u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday",
    u"Saturday", u"Sunday" };
constexpr std::u16string_view kMonths[] = { u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun", u"Jul", u"Aug", u"Sep",
    u"Oct", u"Nov", u"Dec" };

// The index of the name the text goes on with, cut to `length` letters (0: whole).
template <std::size_t N>
std::optional<unsigned> takeName(Scanner& in, const std::u16string_view (&names)[N], std::size_t length = 0)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (in.take(length ? names[i].substr(0, length) : names[i]))
            return unsigned(i);
    }
    return std::nullopt;
}

struct HttpFields {
    unsigned weekday = 0; // Monday is 0
    qint64 year = 0;
    unsigned month = 0;
    unsigned day = 0;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
};

bool takeTimeOfDay(Scanner& in, HttpFields& fields)
{
    const auto hour = in.digits(2);
    if (!hour || !in.take(u':'))
        return false;
    const auto minute = in.digits(2);
    if (!minute || !in.take(u':'))
        return false;
    const auto second = in.digits(2);
    if (!second)
        return false;
    fields.hour = *hour;
    fields.minute = *minute;
    fields.second = *second;
    return true;
}

// "Sun, 06 Nov 1994 08:49:37 GMT"
std::optional<HttpFields> imfFixdate(QStringView text)
{
    Scanner in(text);
    HttpFields fields;
    const auto weekday = takeName(in, kWeekdays, 3);
    if (!weekday || !in.take(u", "))
        return std::nullopt;
    const auto day = in.digits(2);
    if (!day || !in.take(u' '))
        return std::nullopt;
    const auto month = takeName(in, kMonths);
    if (!month || !in.take(u' '))
        return std::nullopt;
    const auto year = in.digits(4);
    if (!year || !in.take(u' ') || !takeTimeOfDay(in, fields) || !in.take(u" GMT") || !in.atEnd())
        return std::nullopt;
    fields.weekday = *weekday;
    fields.year = *year;
    fields.month = *month + 1;
    fields.day = *day;
    return fields;
}

// "Sunday, 06-Nov-94 08:49:37 GMT": the year is the one ending in those two
// digits that lies at most 50 years after `currentYear`.
std::optional<HttpFields> rfc850Date(QStringView text, qint64 currentYear)
{
    Scanner in(text);
    HttpFields fields;
    const auto weekday = takeName(in, kWeekdays);
    if (!weekday || !in.take(u", "))
        return std::nullopt;
    const auto day = in.digits(2);
    if (!day || !in.take(u'-'))
        return std::nullopt;
    const auto month = takeName(in, kMonths);
    if (!month || !in.take(u'-'))
        return std::nullopt;
    const auto year = in.digits(2);
    if (!year || !in.take(u' ') || !takeTimeOfDay(in, fields) || !in.take(u" GMT") || !in.atEnd())
        return std::nullopt;
    fields.weekday = *weekday;
    fields.year = currentYear - (currentYear % 100 + 100) % 100 + *year;
    if (fields.year > currentYear + 50)
        fields.year -= 100;
    fields.month = *month + 1;
    fields.day = *day;
    return fields;
}

// "Sun Nov  6 08:49:37 1994"
std::optional<HttpFields> asctimeDate(QStringView text)
{
    Scanner in(text);
    HttpFields fields;
    const auto weekday = takeName(in, kWeekdays, 3);
    if (!weekday || !in.take(u' '))
        return std::nullopt;
    const auto month = takeName(in, kMonths);
    if (!month || !in.take(u' '))
        return std::nullopt;
    const auto day = in.take(u' ') ? in.digits(1) : in.digits(2);
    if (!day || !in.take(u' ') || !takeTimeOfDay(in, fields) || !in.take(u' '))
        return std::nullopt;
    const auto year = in.digits(4);
    if (!year || !in.atEnd())
        return std::nullopt;
    fields.weekday = *weekday;
    fields.year = *year;
    fields.month = *month + 1;
    fields.day = *day;
    return fields;
}

QString twoDigits(unsigned value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

Date Date::now()
{
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return Date(std::chrono::duration<double>(since).count());
}

Date Date::fromUnixSeconds(qint64 seconds)
{
    return Date(static_cast<double>(seconds));
}

Date Date::fromUnixMilliseconds(qint64 milliseconds)
{
    return fromUnits(milliseconds, 1000);
}

Date Date::fromUnixMicroseconds(qint64 microseconds)
{
    return fromUnits(microseconds, 1000000);
}

qint64 Date::toUnixSeconds() const
{
    return toUnits(seconds_, 1, Rounding::towardZero);
}

qint64 Date::toUnixMilliseconds() const
{
    return toUnits(seconds_, 1000, Rounding::towardZero);
}

qint64 Date::toUnixMicroseconds() const
{
    return toUnits(seconds_, 1000000, Rounding::towardZero);
}

std::optional<Date> Date::fromIso8601(QStringView text)
{
    Scanner in(text);
    const auto year = in.digits(4);
    if (!year || !in.take(u'-'))
        return std::nullopt;
    const auto month = in.digits(2);
    if (!month || !in.take(u'-'))
        return std::nullopt;
    const auto day = in.digits(2);
    if (!day || !in.takeEither(u'T', u't'))
        return std::nullopt;
    const auto hour = in.digits(2);
    if (!hour || !in.take(u':'))
        return std::nullopt;
    const auto minute = in.digits(2);
    if (!minute || !in.take(u':'))
        return std::nullopt;
    const auto second = in.digits(2);
    if (!second)
        return std::nullopt;

    unsigned nanos = 0;
    int fractionDigits = 0;
    if (in.take(u'.')) {
        if (!in.peekDigit())
            return std::nullopt;
        while (in.peekDigit()) {
            const unsigned digit = *in.digits(1);
            if (fractionDigits < 9) {
                nanos = nanos * 10 + digit;
                ++fractionDigits;
            }
        }
        for (int i = fractionDigits; i < 9; ++i)
            nanos *= 10;
    }

    qint64 offsetSeconds = 0;
    if (!in.takeEither(u'Z', u'z')) {
        const bool plus = in.peek(u'+');
        if (!in.takeEither(u'+', u'-'))
            return std::nullopt;
        const auto offsetHours = in.digits(2);
        if (!offsetHours)
            return std::nullopt;
        unsigned offsetMinutes = 0;
        if (in.take(u':') || in.peekDigit()) {
            const auto minutes = in.digits(2);
            if (!minutes)
                return std::nullopt;
            offsetMinutes = *minutes;
        }
        if (*offsetHours > 23 || offsetMinutes > 59)
            return std::nullopt;
        offsetSeconds = (plus ? 1 : -1) * static_cast<qint64>(*offsetHours * 3600 + offsetMinutes * 60);
    }
    if (!in.atEnd())
        return std::nullopt;

    if (*month < 1 || *month > 12 || *day < 1 || *day > daysInMonth(*year, *month))
        return std::nullopt;
    if (*hour > 23 || *minute > 59 || *second > 59)
        return std::nullopt;

    const qint64 wholeSeconds = daysFromCivil(*year, *month, *day) * 86400 + *hour * 3600 + *minute * 60 + *second
        - offsetSeconds;
    // Go through the same conversions as counts do, so "….123Z" and
    // fromUnixMilliseconds(…123) are the same double.
    if (fractionDigits <= 3)
        return fromUnixMilliseconds(wholeSeconds * 1000 + nanos / 1000000);
    if (fractionDigits <= 6)
        return fromUnixMicroseconds(wholeSeconds * 1000000 + nanos / 1000);
    return Date(static_cast<double>(static_cast<long double>(wholeSeconds) + static_cast<long double>(nanos) / 1e9L));
}

QString Date::formatUtc(bool withMilliseconds) const
{
    const double seconds = std::isnan(seconds_) ? 0.0
                                                : std::clamp(seconds_, earliestFormattable().seconds_,
                                                             latestFormattable().seconds_);
    const qint64 millis = toUnits(seconds, 1000, Rounding::down);
    const qint64 wholeSeconds = withMilliseconds ? floorDiv(millis, 1000) : toUnits(seconds, 1, Rounding::down);
    const qint64 days = floorDiv(wholeSeconds, 86400);
    const qint64 secondOfDay = wholeSeconds - days * 86400;
    const Civil date = civilFromDays(days);

    QString out = QStringLiteral("%1-%2-%3T%4:%5:%6")
                      .arg(date.year, 4, 10, QLatin1Char('0'))
                      .arg(twoDigits(date.month), twoDigits(date.day), twoDigits(unsigned(secondOfDay / 3600)),
                          twoDigits(unsigned(secondOfDay % 3600 / 60)), twoDigits(unsigned(secondOfDay % 60)));
    if (withMilliseconds)
        out += QStringLiteral(".%1").arg(millis - floorDiv(millis, 1000) * 1000, 3, 10, QLatin1Char('0'));
    out += QLatin1Char('Z');
    return out;
}

QString Date::toIso8601() const
{
    return formatUtc(false);
}

QString Date::toIso8601WithMilliseconds() const
{
    return formatUtc(true);
}

std::optional<Date> Date::fromHttpDate(QStringView text, Date now)
{
    const qint64 today = floorDiv(now.isFormattable() ? toUnits(now.seconds_, 1, Rounding::down) : 0, 86400);
    std::optional<HttpFields> fields = imfFixdate(text);
    if (!fields)
        fields = rfc850Date(text, civilFromDays(today).year);
    if (!fields)
        fields = asctimeDate(text);
    if (!fields || fields->day < 1 || fields->day > daysInMonth(fields->year, fields->month) || fields->hour > 23
        || fields->minute > 59 || fields->second > 59)
        return std::nullopt;
    const qint64 days = daysFromCivil(fields->year, fields->month, fields->day);
    // 1970-01-01 was a Thursday.
    if (days + 3 - floorDiv(days + 3, 7) * 7 != fields->weekday)
        return std::nullopt;
    return fromUnixSeconds(days * 86400 + fields->hour * 3600 + fields->minute * 60 + fields->second);
}

std::optional<Date> Date::fromDateTime(const QDateTime& dateTime)
{
    if (!dateTime.isValid())
        return std::nullopt;
    return fromUnixMilliseconds(dateTime.toMSecsSinceEpoch());
}

QDateTime Date::toDateTime() const
{
    return QDateTime::fromMSecsSinceEpoch(toUnits(seconds_, 1000, Rounding::down), Qt::UTC);
}

} // namespace vellamor
