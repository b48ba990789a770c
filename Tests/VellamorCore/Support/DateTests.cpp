#include "QtPrinters.h"

#include "Support/Date.h"

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
constexpr qint64 kInt64Max = std::numeric_limits<qint64>::max();
constexpr qint64 kInt64Min = std::numeric_limits<qint64>::min();
} // namespace

TEST(Date, ConversionsTruncateTowardZeroAndSaturate)
{
    struct Case {
        double seconds;
        qint64 s;
        qint64 ms;
        qint64 us;
    };
    const Case cases[] = {
        { 1.9999, 1, 1999, 1999900 },
        { -1.9999, -1, -1999, -1999900 },
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
        { 9.2e18, 9200000000000000000, kInt64Max, kInt64Max },
        { -1e300, kInt64Min, kInt64Min, kInt64Min },
        { std::numeric_limits<double>::infinity(), kInt64Max, kInt64Max, kInt64Max },
        { std::numeric_limits<double>::quiet_NaN(), 0, 0, 0 },
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
    // Every count of a few whole seconds, and the largest that doubles still tell apart (just under 2^43 s).
    for (const qint64 base : { qint64(0), qint64(1000), qint64(-1000), qint64(-2000), qint64(-5000),
             qint64(1772352942000), qint64(-1772352942000) }) {
        for (qint64 ms = base; ms < base + 1000; ++ms) {
            ASSERT_EQ(Date::fromUnixMilliseconds(ms).toUnixMilliseconds(), ms);
            ASSERT_EQ(Date::fromUnixMilliseconds(ms).toUnixMicroseconds(), ms * 1000);
        }
    }
    for (const qint64 ms : { 8'796'093'022'207'000LL, -8'796'093'022'207'000LL }) {
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

TEST(Date, Iso8601ParsingGivesTheSameDateAsTheCount)
{
    struct Case {
        const char* text;
        std::optional<Date> expected;
    };
    const Case cases[] = {
        { "2026-03-01T08:15:42Z", Date::fromUnixSeconds(1772352942) },
        { "2026-03-01T08:15:42.123Z", Date::fromUnixMilliseconds(1772352942123) },
        { "2026-03-01T08:15:42.1Z", Date::fromUnixMilliseconds(1772352942100) },
        { "2026-03-01T08:15:42.123456Z", Date::fromUnixMicroseconds(1772352942123456) },
        { "2026-03-01T08:15:42.123456789123Z", Date(1772352942.123456789) },
        { "2026-03-01T16:15:42.123+08:00", Date::fromUnixMilliseconds(1772352942123) },
        { "2026-03-01T16:15:42+0800", Date::fromUnixSeconds(1772352942) },
        { "2026-03-01T03:15:42-05", Date::fromUnixSeconds(1772352942) },
        { "2026-03-01t08:15:42z", Date::fromUnixSeconds(1772352942) },
        { "1969-12-31T23:59:59.999Z", Date::fromUnixMilliseconds(-1) },
        { "1900-01-01T00:00:00Z", Date::fromUnixSeconds(-2208988800) },
        { "2024-02-29T00:00:00Z", Date::fromUnixSeconds(1709164800) },
        { "2025-02-29T00:00:00Z", std::nullopt },
        { "2026-13-01T00:00:00Z", std::nullopt },
        { "2026-03-01T24:00:00Z", std::nullopt },
        { "2026-03-01T08:60:00Z", std::nullopt },
        { "2026-03-01T08:15:60Z", std::nullopt },
        { "2026-03-01T08:15:42", std::nullopt },
        { "2026-03-01 08:15:42Z", std::nullopt },
        { " 2026-03-01T08:15:42Z", std::nullopt },
        { "2026-03-01T08:15:42Z ", std::nullopt },
        { "2026-03-01T08:15:42.Z", std::nullopt },
        { "2026-03-01T08:15:42+24:00", std::nullopt },
        { "2026-3-01T08:15:42Z", std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Date::fromIso8601(QString::fromUtf8(c.text)), c.expected);
    }
}

// The three forms HTTP recipients take, each with the weekday the date has
// and its names in their own case. A two-digit year is read as at most 50
// years on from now (here March 2026).
TEST(Date, HttpDateParsingTakesItsThreeForms)
{
    struct Case {
        const char* text;
        std::optional<Date> expected;
    };
    const Date march2026 = Date::fromUnixSeconds(1772352942);
    const Case cases[] = {
        { "Sun, 01 Mar 2026 08:15:42 GMT", march2026 },
        { "Thu, 01 Jan 1970 00:00:00 GMT", Date::fromUnixSeconds(0) },
        { "Fri, 31 Dec 9999 23:59:59 GMT", Date::fromUnixSeconds(253402300799) },
        { "Sunday, 01-Mar-26 08:15:42 GMT", march2026 },
        { "Sunday, 01-Mar-76 08:15:42 GMT", Date::fromUnixSeconds(3350276142) },
        { "Tuesday, 01-Mar-77 08:15:42 GMT", Date::fromUnixSeconds(226052142) },
        { "Sun Mar  1 08:15:42 2026", march2026 },
        { "Tue Mar 31 08:15:42 2026", Date::fromUnixSeconds(1774944942) },
        { "Mon, 01 Mar 2026 08:15:42 GMT", std::nullopt },
        { "Monday, 01-Mar-26 08:15:42 GMT", std::nullopt },
        { "Mon Mar  1 08:15:42 2026", std::nullopt },
        { "Sun, 01 mar 2026 08:15:42 GMT", std::nullopt },
        { "sun, 01 Mar 2026 08:15:42 GMT", std::nullopt },
        { "Sunday, 01-MAR-26 08:15:42 GMT", std::nullopt },
        { "Sun MAR  1 08:15:42 2026", std::nullopt },
        { "Sun, 01 Mar 2026 08:15:42 UTC", std::nullopt },
        { "Sun, 1 Mar 2026 08:15:42 GMT", std::nullopt },
        { "Sun Mar 1 08:15:42 2026", std::nullopt },
        { "Sun, 01 Mar 2026 08:15:42 GMT ", std::nullopt },
        { " Sun Mar  1 08:15:42 2026", std::nullopt },
        { "Sun, 01 Mär 2026 08:15:42 GMT", std::nullopt },
        { "Sat, 29 Feb 2025 08:15:42 GMT", std::nullopt },
        { "Sun, 01 Mar 2026 24:00:00 GMT", std::nullopt },
        { "Sun, 01 Mar 2026 08:15:60 GMT", std::nullopt },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Date::fromHttpDate(QString::fromUtf8(c.text), march2026), c.expected);
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
        // Both doubles lie a hair towards zero from the count they convert.
        { 1001000, "1970-01-01T00:00:01Z", "1970-01-01T00:00:01.001Z" },
        { -4095000, "1969-12-31T23:59:55Z", "1969-12-31T23:59:55.905Z" },
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

// Whatever the date, the text is one fromIso8601 reads back: beyond the
// four-digit years it clamps, where the day arithmetic would overflow.
TEST(Date, FormattingClampsToTheFourDigitYears)
{
    struct Case {
        double seconds;
        const char* plain;
        const char* withMs;
    };
    const Case cases[] = {
        {-62135596801.0, "0001-01-01T00:00:00Z", "0001-01-01T00:00:00.000Z"},
        {-1e300, "0001-01-01T00:00:00Z", "0001-01-01T00:00:00.000Z"},
        {-std::numeric_limits<double>::infinity(), "0001-01-01T00:00:00Z", "0001-01-01T00:00:00.000Z"},
        {253402300800.0, "9999-12-31T23:59:59Z", "9999-12-31T23:59:59.999Z"},
        {1e300, "9999-12-31T23:59:59Z", "9999-12-31T23:59:59.999Z"},
        {std::numeric_limits<double>::quiet_NaN(), "1970-01-01T00:00:00Z", "1970-01-01T00:00:00.000Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        const Date date(c.seconds);
        EXPECT_EQ(date.toIso8601(), QString::fromUtf8(c.plain));
        EXPECT_EQ(date.toIso8601WithMilliseconds(), QString::fromUtf8(c.withMs));
        EXPECT_TRUE(Date::fromIso8601(date.toIso8601WithMilliseconds()).has_value());
    }
}

TEST(Date, NowIsTheSystemClockInSeconds)
{
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const qint64 now = Date::now().toUnixMilliseconds();
    EXPECT_GE(now, before);
    EXPECT_LE(now, QDateTime::currentMSecsSinceEpoch());
}
