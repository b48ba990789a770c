#include "History/HistoryPayload.h"
#include "History/HistoryRecord.h"
#include "History/HistoryRecordFactory.h"
#include "QtPrinters.h"
#include "Support/Json/JsonError.h"
#include "Support/Json/JsonValue.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

#include <array>

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

namespace {

using vellamor::HistoryPayload;
using vellamor::JsonError;

// Dates as plain seconds: the record leaves the form to its caller.
const auto writeSeconds = [](Date date) { return QJsonValue(date.secondsSince1970()); };
const auto readSeconds = [](const QJsonValue& value, const QString& path) {
    return Date(vellamor::json::readDouble(value, path));
};
const auto parsed = [](const char* json) { return QJsonValue(QJsonDocument::fromJson(QByteArray(json)).object()); };

HistoryRecord full()
{
    return HistoryRecord(kId, QStringLiteral("t"), QStringLiteral("r"), QStringLiteral("p"), QStringLiteral("app"),
                         kCreated, Date(1'700'000'001.5), Date(1'700'000'002.75), true, 9'007'199'254'740'993);
}

} // namespace

TEST(HistoryRecordJson, ARecordWithOnlyTextTakesEveryDefault)
{
    const Date before = Date::now();
    const HistoryRecord record = HistoryRecord::fromJson(parsed(R"({"text":"a"})"), {}, readSeconds);
    const Date after = Date::now();

    EXPECT_FALSE(record.id.isNull());
    EXPECT_GE(record.createdAt, before);
    EXPECT_LE(record.createdAt, after);
    EXPECT_EQ(record, HistoryRecord(record.id, QStringLiteral("a"), QStringLiteral("a"), std::nullopt, std::nullopt,
                                    record.createdAt, record.createdAt, std::nullopt, false, std::nullopt));
}

// Null stands for a missing key; the initialiser's rules apply to what is read.
TEST(HistoryRecordJson, DecodingKeepsTheInitialiserRules)
{
    const HistoryRecord record = HistoryRecord::fromJson(
        parsed(R"({"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f","text":"text","createdAt":1700000000.25,)"
               R"("polishedText":"","sourceApp":"","recognizedText":null,"synced":null,"other":[1]})"),
        {}, readSeconds);
    HistoryRecord expected = make(std::nullopt, std::nullopt);
    expected.sourceApp = QString();
    EXPECT_EQ(record, expected);
}

TEST(HistoryRecordJson, AValueOfTheWrongTypeFailsTheWholeRecord)
{
    const std::array cases {
        R"({"recognizedText":"a"})",
        R"({"text":null})",
        R"({"text":1})",
        R"({"text":"a","synced":"yes"})",
        R"({"text":"a","serverId":1.5})",
        R"({"text":"a","createdAt":"2024-01-01T00:00:00Z"})",
        R"({"text":"a","id":"not-a-uuid"})",
    };
    for (const char* json : cases) {
        SCOPED_TRACE(json);
        EXPECT_THROW(HistoryRecord::fromJson(parsed(json), {}, readSeconds), JsonError);
    }
    EXPECT_THROW(HistoryRecord::fromJson(QJsonArray(), {}, readSeconds), JsonError);
}

TEST(HistoryRecordJson, EncodingLeavesAbsentOptionalsOutAndRoundTrips)
{
    const QJsonObject bare = make(std::nullopt, std::nullopt).toJson(writeSeconds);
    const QStringList keys {QStringLiteral("createdAt"), QStringLiteral("id"),   QStringLiteral("recognizedText"),
                            QStringLiteral("synced"),    QStringLiteral("text"), QStringLiteral("updatedAt")};
    EXPECT_EQ(bare.keys(), keys); // sorted by QJsonObject
    EXPECT_EQ(bare.value(QStringLiteral("id")).toString(), QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"));

    const HistoryRecord record = full();
    EXPECT_EQ(record.toJson(writeSeconds).keys().size(), 10);
    EXPECT_EQ(HistoryRecord::fromJson(record.toJson(writeSeconds), {}, readSeconds), record);
}

TEST(HistoryPayload, CarriesTheFourTextsAndNeedsOnlyText)
{
    EXPECT_EQ(HistoryPayload::of(make(std::nullopt, std::nullopt)).toJson(), R"({"recognizedText":"text","text":"text"})");
    EXPECT_EQ(HistoryPayload::fromJson(HistoryPayload::of(full()).toJson()), HistoryPayload::of(full()));
    EXPECT_THROW(HistoryPayload::fromJson(R"({"recognizedText":"a"})"), JsonError);
}

// Dictation and phone records differ only where they must; each gets its own id.
TEST(HistoryRecordFactory, KeepsTheTextThatWentInElseThePolishedElseTheRecognised)
{
    namespace factory = vellamor::HistoryRecordFactory;
    struct Case {
        const char* inserted;
        const char* polished;
        const char* expected;
    };
    for (const Case& c : {Case{"typed", "polished", "typed"}, Case{"", "polished", "polished"},
                          Case{"", "", "heard"}}) {
        const HistoryRecord record = factory::dictation(QString::fromUtf8(c.inserted), QStringLiteral("heard"),
                                                        QString::fromUtf8(c.polished), QStringLiteral("app"), kCreated);
        EXPECT_EQ(record.text, QString::fromUtf8(c.expected)) << c.inserted << "/" << c.polished;
        EXPECT_EQ(record.recognizedText, QStringLiteral("heard"));
        EXPECT_EQ(record.sourceApp, QStringLiteral("app"));
        EXPECT_EQ(record.updatedAt, kCreated);
        EXPECT_FALSE(record.synced);
    }
    const HistoryRecord phone = factory::phoneText(QStringLiteral("手机"), kCreated);
    EXPECT_EQ(phone.text, QStringLiteral("手机"));
    EXPECT_EQ(phone.recognizedText, QStringLiteral("手机"));
    EXPECT_EQ(phone.polishedText, std::nullopt);
    EXPECT_EQ(phone.sourceApp, QStringLiteral("mobile-input-source"));
    EXPECT_FALSE(phone.synced);
    EXPECT_NE(phone.id, factory::phoneText(QStringLiteral("手机"), kCreated).id);
}
