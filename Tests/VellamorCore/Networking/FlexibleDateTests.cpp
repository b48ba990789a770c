#include "Networking/FlexibleDate.h"

#include "Support/Json/JsonError.h"

#include "QtPrinters.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vellamor;

namespace {

// 2024-05-01T08:30:00Z
constexpr qint64 kBaseSeconds = 1714552200;

struct AcceptedCase {
    const char* text;
    qint64 expectedMicroseconds;
};

void PrintTo(const AcceptedCase& c, std::ostream* os)
{
    *os << c.text;
}

class FlexibleDateAccepts : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(FlexibleDateAccepts, ParsesToTheInstant)
{
    const AcceptedCase& c = GetParam();
    const Date date = decodeFlexibleDate(QJsonValue(QString::fromLatin1(c.text)), QStringLiteral("t"));
    EXPECT_EQ(date.toUnixMicroseconds(), c.expectedMicroseconds) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, FlexibleDateAccepts,
    ::testing::Values(
        // whole seconds with a zone
        AcceptedCase{"2024-05-01T08:30:00Z", kBaseSeconds * 1000000},
        AcceptedCase{"2024-05-01T16:30:00+08:00", kBaseSeconds * 1000000},
        AcceptedCase{"2024-05-01T03:00:00-05:30", kBaseSeconds * 1000000},
        // milliseconds with a zone: 08:30:00.123 at +08:00 is 00:30:00.123 UTC
        AcceptedCase{"2024-05-01T08:30:00.123+08:00", (kBaseSeconds - 8 * 3600) * 1000000 + 123000},
        AcceptedCase{"2024-05-01T08:30:00.123Z", kBaseSeconds * 1000000 + 123000},
        // microseconds
        AcceptedCase{"2024-05-01T08:30:00.123456Z", kBaseSeconds * 1000000 + 123456},
        // no zone: UTC
        AcceptedCase{"2024-05-01T08:30:00", kBaseSeconds * 1000000},
        // other fraction lengths only through the RFC 3339 step
        AcceptedCase{"2024-05-01T08:30:00.5Z", kBaseSeconds * 1000000 + 500000},
        AcceptedCase{"2024-05-01T08:30:00.12345Z", kBaseSeconds * 1000000 + 123450},
        // leap day
        AcceptedCase{"2024-02-29T00:00:00Z", 1709164800LL * 1000000}));

struct RejectedCase {
    const char* text;
};

void PrintTo(const RejectedCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class FlexibleDateRejects : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(FlexibleDateRejects, FailsWithTheUnrecognizedDateText)
{
    const QString text = QString::fromLatin1(GetParam().text);
    try {
        decodeFlexibleDate(QJsonValue(text), QStringLiteral("data.access_expire"));
        FAIL() << "parsed " << GetParam().text;
    } catch (const JsonError& error) {
        EXPECT_EQ(error.kind(), JsonError::Kind::invalidValue);
        EXPECT_EQ(error.path(), QStringLiteral("data.access_expire"));
        EXPECT_TRUE(error.message().endsWith(QStringLiteral(": unrecognized date: ") + text))
            << error.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, FlexibleDateRejects,
                         ::testing::Values(RejectedCase{"2024-05-01"}, RejectedCase{""},
                                           RejectedCase{"2024-13-01T00:00:00Z"},
                                           RejectedCase{"2024-02-30T00:00:00Z"},
                                           RejectedCase{"2024-05-01T24:00:00Z"},
                                           RejectedCase{"2024-05-01T08:30:60Z"},
                                           RejectedCase{"2024-05-01 08:30:00Z"},
                                           RejectedCase{" 2024-05-01T08:30:00Z"},
                                           RejectedCase{"2024-05-01T08:30:00Zjunk"},
                                           RejectedCase{"1714552200"}));

TEST(FlexibleDate, EmptyStringGivesTheBarePrefix)
{
    try {
        decodeFlexibleDate(QJsonValue(QString()), QString());
        FAIL() << "parsed the empty string";
    } catch (const JsonError& error) {
        EXPECT_EQ(error.message(), QStringLiteral("invalid value at top level: unrecognized date: "));
    }
}

TEST(FlexibleDate, NonStringsFailWithATypeMismatch)
{
    for (const QJsonValue& value :
         {QJsonValue(1714552200), QJsonValue(1714552200123.0), QJsonValue(QJsonValue::Null), QJsonValue(true),
          QJsonValue(QJsonObject())}) {
        try {
            decodeFlexibleDate(value, QStringLiteral("t"));
            ADD_FAILURE() << "accepted a non-string";
        } catch (const JsonError& error) {
            EXPECT_EQ(error.kind(), JsonError::Kind::typeMismatch);
        }
    }
}

} // namespace
