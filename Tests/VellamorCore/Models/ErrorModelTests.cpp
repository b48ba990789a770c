#include "QtPrinters.h"

#include "Models/VellamorErrorCode.h"
#include "Models/VellamorServiceError.h"
#include "Models/VellamorTransportError.h"

#include <gmock/gmock.h>

#include <limits>

using namespace vellamor;

// Neighbours of known codes have no case of their own.
TEST(VellamorErrorCode, OnlyTheExactValuesHaveACase)
{
    EXPECT_EQ(vellamorErrorCodeFromRawValue(40100), VellamorErrorCode::unauthorized);
    const qint64 others[] = {
        40101, 42901, 50020, 50024, -1,
        40100LL + (1LL << 32), // would alias 40100 if narrowed to 32 bits
        std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(),
    };
    for (const qint64 raw : others) {
        SCOPED_TRACE(raw);
        EXPECT_EQ(vellamorErrorCodeFromRawValue(raw), std::nullopt);
        EXPECT_EQ(VellamorServiceError(raw, QString()).known(), std::nullopt);
    }
}

// A code no component maps to a text of its own is shown as it came, without its data.
TEST(VellamorServiceError, UserFacingText)
{
    const VellamorServiceError error(-7, QStringLiteral("负数 code"),
        QMap<QString, QString> { { QStringLiteral("detail"), QStringLiteral("hidden") } });
    EXPECT_EQ(error.errorDescription(), QStringLiteral("VellamorServiceError(code=-7, msg=负数 code)"));
}

TEST(VellamorTransportError, UserFacingText)
{
    const std::pair<VellamorTransportError, int> cases[] = {
        { VellamorTransportError::decodingFailed(QStringLiteral("detail")), 0 },
        { VellamorTransportError::unexpectedStatus(502), 1 },
        { VellamorTransportError::invalidURL(), 2 },
        { VellamorTransportError::encodingFailed(), 3 },
        { VellamorTransportError::connectionClosed(), 4 },
        { VellamorTransportError::timeout(), 5 },
        { VellamorTransportError::cancelled(), 6 },
    };
    for (const auto& [error, number] : cases) {
        SCOPED_TRACE(error.debugDescription().toStdString());
        EXPECT_EQ(error.errorDescription(),
            QStringLiteral("未能完成操作。（VellamorTransportError 错误 ") + QString::number(number)
                + QStringLiteral("。）"));
    }
}
