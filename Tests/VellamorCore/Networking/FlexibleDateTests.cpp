#include "Networking/FlexibleDate.h"

#include "Support/Json/JsonError.h"

#include "QtPrinters.h"

#include <QJsonObject>

#include <gtest/gtest.h>

#include <array>

using namespace vellamor;

namespace {

// 2024-05-01T08:30:00Z
constexpr qint64 kBaseMicroseconds = 1714552200LL * 1000000;

TEST(FlexibleDate, ParsesEveryAcceptedFormToItsInstant)
{
    struct Case {
        const char* text;
        qint64 microseconds;
    };
    const std::array cases{
        Case{"2024-05-01T08:30:00Z", kBaseMicroseconds},
        Case{"2024-05-01T16:30:00+08:00", kBaseMicroseconds},
        Case{"2024-05-01T03:00:00-05:30", kBaseMicroseconds},
        // 08:30:00.123 at +08:00 is 00:30:00.123 UTC
        Case{"2024-05-01T08:30:00.123+08:00", kBaseMicroseconds - 8LL * 3600 * 1000000 + 123000},
        Case{"2024-05-01T08:30:00.123Z", kBaseMicroseconds + 123000},
        Case{"2024-05-01T08:30:00.123456Z", kBaseMicroseconds + 123456},
        // no zone: UTC
        Case{"2024-05-01T08:30:00", kBaseMicroseconds},
        // other fraction lengths only through the RFC 3339 step
        Case{"2024-05-01T08:30:00.5Z", kBaseMicroseconds + 500000},
        Case{"2024-05-01T08:30:00.12345Z", kBaseMicroseconds + 123450},
        Case{"2024-02-29T00:00:00Z", 1709164800LL * 1000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Date date = decodeFlexibleDate(QJsonValue(QString::fromLatin1(c.text)), QStringLiteral("t"));
        EXPECT_EQ(date.toUnixMicroseconds(), c.microseconds);
    }
}

TEST(FlexibleDate, RejectsOtherTextsNamingThePathAndTheText)
{
    const std::array texts{
        "2024-05-01", "", "2024-13-01T00:00:00Z", "2024-02-30T00:00:00Z", "2024-05-01T24:00:00Z",
        "2024-05-01T08:30:60Z", "2024-05-01 08:30:00Z", " 2024-05-01T08:30:00Z", "2024-05-01T08:30:00Zjunk",
        "1714552200",
    };
    for (const char* text : texts) {
        SCOPED_TRACE(::testing::Message() << '"' << text << '"');
        try {
            decodeFlexibleDate(QJsonValue(QString::fromLatin1(text)), QStringLiteral("data.access_expire"));
            ADD_FAILURE() << "parsed";
        } catch (const JsonError& error) {
            EXPECT_EQ(error.kind(), JsonError::Kind::invalidValue);
            EXPECT_EQ(error.path(), QStringLiteral("data.access_expire"));
            EXPECT_TRUE(error.message().endsWith(QStringLiteral(": unrecognized date: ") + QString::fromLatin1(text)))
                << error.message().toStdString();
        }
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
