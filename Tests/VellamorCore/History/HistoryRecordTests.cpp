#include "History/HistoryRecord.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using vellamor::Date;
using vellamor::HistoryRecord;

namespace {

const QUuid kId = QUuid::fromString(QStringLiteral("{e621e1f8-c36c-495a-93fc-0c247a3e6e5f}"));
const Date kCreated(1'700'000'000.25);

HistoryRecord make(std::optional<QString> recognized, std::optional<QString> polished,
                   std::optional<Date> updated = std::nullopt)
{
    return HistoryRecord(kId, QStringLiteral("text"), std::move(recognized), std::move(polished), std::nullopt,
                         kCreated, updated, std::nullopt, false, std::nullopt);
}

} // namespace

TEST(HistoryRecord, InitialiserNormalisesItsThreeOptionalArguments)
{
    const HistoryRecord bare = make(std::nullopt, std::nullopt);
    EXPECT_EQ(bare.recognizedText, QStringLiteral("text"));
    EXPECT_EQ(bare.polishedText, std::nullopt);
    EXPECT_EQ(bare.updatedAt, kCreated);

    EXPECT_EQ(make(QString(), std::nullopt).recognizedText, QString()); // present, even empty, is kept
    EXPECT_EQ(make(std::nullopt, QString()).polishedText, std::nullopt);
    EXPECT_EQ(make(std::nullopt, QStringLiteral(" ")).polishedText, QStringLiteral(" "));
    EXPECT_EQ(make(std::nullopt, std::nullopt, Date(5.0)).updatedAt, Date(5.0));
}

TEST(HistoryRecord, ClientIdIsTheUpperCaseUuid)
{
    EXPECT_EQ(make(std::nullopt, std::nullopt).clientID(), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));
}
