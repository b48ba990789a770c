#include "QtPrinters.h"

#include "Support/Date.h"

#include <QTimeZone>

#include <gmock/gmock.h>

#include <cmath>
#include <iomanip>
#include <limits>

using namespace vellamor;

namespace vellamor {
void PrintTo(const Date& date, std::ostream* os)
{
    *os << "Date(" << std::setprecision(17) << date.secondsSince1970() << ")";
}
} // namespace vellamor

namespace {
constexpr qint64 kTwo53 = 9007199254740992LL;
constexpr qint64 kMax = std::numeric_limits<qint64>::max();
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
} // namespace

TEST(Date, ConversionsTruncateTowardZero)
{
    struct Case {
        double seconds;
        qint64 s;
        qint64 ms;
        qint64 us;
    };
    const Case cases[] = {
        { 0.0, 0, 0, 0 },
        { 1.9999, 1, 1999, 1999900 },
        { -1.9999, -1, -1999, -1999900 },
        { 0.0015, 0, 1, 1500 },
        { -0.0015, 0, -1, -1500 },
        { -0.0005, 0, 0, -500 },
        { 0.0000005, 0, 0, 0 },
        { -0.0000015, 0, 0, -1 },
        { 1772352942.123456, 1772352942, 1772352942123, 1772352942123456 },
        { -1772352942.123456, -1772352942, -1772352942123, -1772352942123456 },
        // The nearest doubles to 1.001 and -4.095 lie a hair towards zero;
        // naive truncation of seconds * 1000 gives 1000 and -4094.
        { 1.001, 1, 1001, 1001000 },
        { -4.095, -4, -4095, -4095000 },
        // 1 - 2^-53 is not the conversion of any millisecond count.
        { 1.0 - std::ldexp(1.0, -53), 0, 999, 999999 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        const Date date(c.seconds);
        EXPECT_EQ(date.toUnixSeconds(), c.s);
        EXPECT_EQ(date.toUnixMilliseconds(), c.ms);
        EXPECT_EQ(date.toUnixMicroseconds(), c.us);
    }
}

TEST(Date, CountsSurviveTheRoundTrip)
{
    const qint64 millis[] = { 0, 1, -1, 999, 1001, 1003, -1001, -4095, -4092, 1772352942123, -1772352942123,
        1772352942999, 8'796'093'022'207'000LL /* just under 2^43 s */, -8'796'093'022'207'000LL };
    for (const qint64 ms : millis) {
        SCOPED_TRACE(ms);
        EXPECT_EQ(Date::fromUnixMilliseconds(ms).toUnixMilliseconds(), ms);
    }
    const qint64 micros[] = { 0, 1, -1, 999999, 1000001, -1000001, 1772352942123456, -1772352942123457,
        4102444799999999 /* 2099-12-31T23:59:59.999999Z */, 8'589'934'591'999'999LL /* just under 2^33 s */ };
    for (const qint64 us : micros) {
        SCOPED_TRACE(us);
        EXPECT_EQ(Date::fromUnixMicroseconds(us).toUnixMicroseconds(), us);
    }
    const qint64 seconds[] = { 0, -1, 1772352942, kTwo53, -kTwo53, kTwo53 - 1 };
    for (const qint64 s : seconds) {
        SCOPED_TRACE(s);
        EXPECT_EQ(Date::fromUnixSeconds(s).toUnixSeconds(), s);
    }
}

TEST(Date, EveryMillisecondOfASecondRoundTrips)
{
    for (const qint64 base : { qint64(0), qint64(1772352942000), qint64(-1772352942000), qint64(-1000) }) {
        for (qint64 ms = base; ms < base + 1000; ++ms) {
            ASSERT_EQ(Date::fromUnixMilliseconds(ms).toUnixMilliseconds(), ms) << ms;
            ASSERT_EQ(Date::fromUnixMilliseconds(ms).toUnixMicroseconds(), ms * 1000) << ms;
        }
    }
}

TEST(Date, BeyondDoublePrecisionCountsStayConsistent)
{
    // Past 2^53 µs neighbouring counts share a double; the answer must still
    // be a count that converts back to the same date, at most one away.
    for (qint64 us = kTwo53 - 8; us <= kTwo53 + 8; ++us) {
        SCOPED_TRACE(us);
        const Date date = Date::fromUnixMicroseconds(us);
        const qint64 back = date.toUnixMicroseconds();
        EXPECT_LE(std::llabs(back - us), 1);
        EXPECT_EQ(Date::fromUnixMicroseconds(back), date);
    }
    EXPECT_EQ(Date::fromUnixSeconds(kTwo53 + 1).secondsSince1970(), 9007199254740992.0);
}

TEST(Date, OutOfRangeSaturates)
{
    EXPECT_EQ(Date(1e300).toUnixMilliseconds(), kMax);
    EXPECT_EQ(Date(-1e300).toUnixMicroseconds(), kMin);
    EXPECT_EQ(Date(9.3e15).toUnixMilliseconds(), kMax);
    EXPECT_EQ(Date(std::numeric_limits<double>::infinity()).toUnixSeconds(), kMax);
    EXPECT_EQ(Date(std::numeric_limits<double>::quiet_NaN()).toUnixSeconds(), 0);
    EXPECT_EQ(Date(9.2e18).toUnixSeconds(), qint64(9.2e18));
}

TEST(Date, Iso8601Parsing)
{
    struct Case {
        const char* text;
        std::optional<qint64> micros;
    };
    const Case cases[] = {
        { "2026-03-01T08:15:42Z", 1772352942000000 },
        { "2026-03-01T08:15:42.123Z", 1772352942123000 },
        { "2026-03-01T08:15:42.1Z", 1772352942100000 },
        { "2026-03-01T08:15:42.123456Z", 1772352942123456 },
        { "2026-03-01T08:15:42.1234567Z", 1772352942123456 },
        { "2026-03-01T08:15:42.123456789123Z", 1772352942123456 },
        { "2026-03-01T16:15:42.123+08:00", 1772352942123000 },
        { "2026-03-01T16:15:42+0800", 1772352942000000 },
        { "2026-03-01T03:15:42-05", 1772352942000000 },
        { "2026-03-01t08:15:42z", 1772352942000000 },
        { "1970-01-01T00:00:00Z", 0 },
        { "1969-12-31T23:59:59.999Z", -1000 },
        { "1900-01-01T00:00:00Z", -2208988800000000 },
        { "2024-02-29T00:00:00Z", 1709164800000000 },
        { "2025-02-29T00:00:00Z", std::nullopt },
        { "2026-13-01T00:00:00Z", std::nullopt },
        { "2026-03-01T24:00:00Z", std::nullopt },
        { "2026-03-01T08:60:00Z", std::nullopt },
        { "2026-03-01T08:15:60Z", std::nullopt },
        { "2026-03-01T08:15:42", std::nullopt },
        { "2026-03-01", std::nullopt },
        { "2026-03-01 08:15:42Z", std::nullopt },
        { " 2026-03-01T08:15:42Z", std::nullopt },
        { "2026-03-01T08:15:42Z ", std::nullopt },
        { "2026-03-01T08:15:42.Z", std::nullopt },
        { "2026-03-01T08:15:42+24:00", std::nullopt },
        { "2026-3-01T08:15:42Z", std::nullopt },
        { "", std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto date = Date::fromIso8601(QString::fromUtf8(c.text));
        ASSERT_EQ(date.has_value(), c.micros.has_value());
        if (date) {
            EXPECT_EQ(date->toUnixMicroseconds(), *c.micros);
        }
    }
}

TEST(Date, Iso8601FormattingIsUtcAndFloorsToTheUnit)
{
    struct Case {
        qint64 micros;
        const char* plain;
        const char* withMs;
    };
    const Case cases[] = {
        { 1772352942123000, "2026-03-01T08:15:42Z", "2026-03-01T08:15:42.123Z" },
        { 1772352942999999, "2026-03-01T08:15:42Z", "2026-03-01T08:15:42.999Z" },
        { 0, "1970-01-01T00:00:00Z", "1970-01-01T00:00:00.000Z" },
        { -1, "1969-12-31T23:59:59Z", "1969-12-31T23:59:59.999Z" },
        { -1000000, "1969-12-31T23:59:59Z", "1969-12-31T23:59:59.000Z" },
        { -2208988800000000, "1900-01-01T00:00:00Z", "1900-01-01T00:00:00.000Z" },
        { 951782400000000, "2000-02-29T00:00:00Z", "2000-02-29T00:00:00.000Z" },
        { 253402300799999000, "9999-12-31T23:59:59Z", "9999-12-31T23:59:59.999Z" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.micros);
        const Date date = Date::fromUnixMicroseconds(c.micros);
        EXPECT_EQ(date.toIso8601(), QString::fromUtf8(c.plain));
        EXPECT_EQ(date.toIso8601WithMilliseconds(), QString::fromUtf8(c.withMs));
    }
}

TEST(Date, Iso8601RoundTripsAtMillisecondPrecision)
{
    for (const qint64 ms : { qint64(1772352942123), qint64(-1), qint64(1001), qint64(-4095), qint64(86399999) }) {
        SCOPED_TRACE(ms);
        const Date date = Date::fromUnixMilliseconds(ms);
        const auto back = Date::fromIso8601(date.toIso8601WithMilliseconds());
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, date);
    }
}

TEST(Date, QDateTimeEdges)
{
    const Date date = Date::fromUnixMilliseconds(1772352942123);
    const QDateTime dt = date.toDateTime();
    EXPECT_EQ(dt.timeSpec(), Qt::UTC);
    EXPECT_EQ(dt.toMSecsSinceEpoch(), 1772352942123);
    EXPECT_EQ(dt.toString(Qt::ISODateWithMs), QStringLiteral("2026-03-01T08:15:42.123Z"));
    EXPECT_EQ(Date::fromDateTime(dt), date);

    const QDateTime zoned(QDate(2026, 3, 1), QTime(16, 15, 42, 123), QTimeZone(8 * 3600));
    EXPECT_EQ(Date::fromDateTime(zoned), date);
    EXPECT_FALSE(Date::fromDateTime(QDateTime()));
    EXPECT_EQ(Date(-0.0005).toDateTime().toMSecsSinceEpoch(), -1);
}

TEST(Date, OrderingAndArithmetic)
{
    const Date a(10.0);
    const Date b = a.addingSeconds(0.25);
    EXPECT_LT(a, b);
    EXPECT_GT(b, a);
    EXPECT_NE(a, b);
    EXPECT_EQ(b.secondsSince(a), 0.25);
    EXPECT_EQ(Date(), Date::fromUnixSeconds(0));
    const Date before = Date::now();
    const Date after = Date::now();
    EXPECT_LE(before, after);
    EXPECT_GT(before.toUnixSeconds(), 1700000000);
}
