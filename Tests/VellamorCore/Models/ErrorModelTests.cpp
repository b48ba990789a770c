#include "QtPrinters.h"

#include "Models/VellamorAction.h"
#include "Models/VellamorErrorCode.h"
#include "Models/VellamorServiceError.h"
#include "Models/VellamorTransportError.h"

#include <gmock/gmock.h>

#include <limits>

using namespace vellamor;

namespace vellamor {
void PrintTo(VellamorErrorCode code, std::ostream* os)
{
    *os << caseName(code).toStdString();
}
} // namespace vellamor

TEST(VellamorErrorCode, LookupIsByExactValue)
{
    struct Case {
        qint64 raw;
        std::optional<VellamorErrorCode> code;
        bool retryable;
    };
    using C = VellamorErrorCode;
    const Case cases[] = {
        { 0, C::success, false },
        { 40001, C::badRequest, false },
        { 40100, C::unauthorized, false },
        { 40300, C::forbidden, false },
        { 40401, C::actionNotFound, false },
        { 42900, C::rateLimited, true },
        { 42902, C::quotaExhausted, false },
        { 50000, C::internalError, true },
        { 50021, C::asrUpstream, true },
        { 50022, C::llmUpstream, true },
        { 50023, C::mailerUpstream, true },
        // Neighbours of known codes have no case of their own.
        { 40101, std::nullopt, false },
        { 42901, std::nullopt, false },
        { 50020, std::nullopt, false },
        { 50024, std::nullopt, false },
        { -1, std::nullopt, false },
        { 40100LL + (1LL << 32), std::nullopt, false }, // would alias 40100 if narrowed to 32 bits
        { std::numeric_limits<qint64>::max(), std::nullopt, false },
        { std::numeric_limits<qint64>::min(), std::nullopt, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raw);
        const auto code = vellamorErrorCodeFromRawValue(c.raw);
        EXPECT_EQ(code, c.code);
        if (code) {
            EXPECT_EQ(rawValue(*code), c.raw);
            EXPECT_EQ(isRetryable(*code), c.retryable);
        }
        EXPECT_EQ(VellamorServiceError(c.raw, QString()).known(), c.code);
    }
}

TEST(VellamorServiceError, DescriptionFormat)
{
    struct Case {
        qint64 code;
        const char* message;
        const char* description;
    };
    const Case cases[] = {
        { 40300, "forbidden", "VellamorServiceError(code=40300, msg=forbidden)" },
        { 40101, "", "VellamorServiceError(code=40101, msg=)" },
        { -7, "负数 code", "VellamorServiceError(code=-7, msg=负数 code)" },
        { 50021, "a) b", "VellamorServiceError(code=50021, msg=a) b)" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        const VellamorServiceError error(c.code, QString::fromUtf8(c.message),
            QMap<QString, QString> { { QStringLiteral("detail"), QStringLiteral("hidden") } });
        EXPECT_EQ(error.description(), QString::fromUtf8(c.description));
        EXPECT_EQ(error.errorDescription(), error.description());
        EXPECT_EQ(error.debugDescription(), error.description());
        EXPECT_STREQ(error.what(), c.description);
    }
}

TEST(VellamorServiceError, EqualityIncludesTheData)
{
    const QMap<QString, QString> data { { QStringLiteral("retry_after"), QStringLiteral("3") } };
    EXPECT_FALSE(VellamorServiceError(1, QString()).data());
    EXPECT_FALSE(VellamorServiceError(1, QString()) == VellamorServiceError(1, QString(), data));
}

TEST(VellamorTransportError, Descriptions)
{
    struct Case {
        VellamorTransportError error;
        const char* debug;
        int index;
    };
    const Case cases[] = {
        { VellamorTransportError::decodingFailed(QStringLiteral("detail")), R"(decodingFailed("detail"))", 0 },
        { VellamorTransportError::decodingFailed(QStringLiteral("say \"hi\"\n")), R"(decodingFailed("say \"hi\"\n"))",
            0 },
        { VellamorTransportError::unexpectedStatus(502), "unexpectedStatus(502)", 1 },
        { VellamorTransportError::invalidURL(), "invalidURL", 2 },
        { VellamorTransportError::encodingFailed(), "encodingFailed", 3 },
        { VellamorTransportError::connectionClosed(), "connectionClosed", 4 },
        { VellamorTransportError::timeout(), "timeout", 5 },
        { VellamorTransportError::cancelled(), "cancelled", 6 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.debug);
        EXPECT_EQ(c.error.debugDescription(), QString::fromUtf8(c.debug));
        EXPECT_EQ(c.error.caseIndex(), c.index);
        EXPECT_EQ(c.error.errorDescription(),
            QStringLiteral("未能完成操作。（VellamorTransportError 错误 ") + QString::number(c.index)
                + QStringLiteral("。）"));
    }
    EXPECT_FALSE(VellamorTransportError::unexpectedStatus(401) == VellamorTransportError::unexpectedStatus(402));
}

// Only the camel-case names can be mistyped in a way the server would refuse.
TEST(VellamorAction, CamelCaseNamesAreCaseExact)
{
    EXPECT_EQ(VellamorAction::authRequestLoginCode, QStringLiteral("auth.requestLoginCode"));
    EXPECT_EQ(VellamorAction::authLoginWithCode, QStringLiteral("auth.loginWithCode"));
    EXPECT_EQ(VellamorAction::adminTailLog, QStringLiteral("admin.tailLog"));
}
