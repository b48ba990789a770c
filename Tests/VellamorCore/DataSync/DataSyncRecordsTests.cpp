#include "DataSync/BackendDictEntry.h"
#include "DataSync/BackendHistoryEntry.h"
#include "DataSync/DataSyncError.h"
#include "DataSync/RemoteHistoryItem.h"
#include "DataSync/SyncByVersionResponse.h"
#include "Support/Json/JsonError.h"

#include "QtPrinters.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <array>
#include <functional>

using namespace vellamor;

namespace {

const Date kCreated = *Date::fromIso8601(u"2026-03-01T08:15:42Z");
const Date kUpdated = *Date::fromIso8601(u"2026-03-02T10:00:00.123456Z");

QJsonValue parsed(const char* json)
{
    return QJsonDocument::fromJson(json).object();
}

TEST(DataSyncRecords, RemoteHistoryItemsAreReadLeniently)
{
    struct Case {
        const char* json;
        QString text;
        QString recognizedText;
        std::optional<QString> polishedText;
        std::optional<QString> sourceApp;
        std::optional<Date> deletedAt;
    };
    const std::array cases {
        Case { R"({"id":1,"raw_text":"raw","polished_text":"","created_at":"2026-03-01T08:15:42Z"})",
            QStringLiteral("raw"), QStringLiteral("raw"), std::nullopt, std::nullopt, std::nullopt },
        Case {
            R"({"id":1,"raw_text":"raw","polished_text":"  ","app_bundle_id":"","created_at":"2026-03-01T08:15:42Z"})",
            QStringLiteral("  "), QStringLiteral("raw"), QStringLiteral("  "), QStringLiteral(""), std::nullopt },
        Case { R"({"id":1,"polished_text":"fine","created_at":"2026-03-01T08:15:42Z","deleted_at":null})",
            QStringLiteral("fine"), QStringLiteral(""), QStringLiteral("fine"), std::nullopt, std::nullopt },
        Case { R"({"id":1,"created_at":"2026-03-01T08:15:42Z","deleted_at":"2026-03-02T10:00:00.123456Z"})",
            QStringLiteral(""), QStringLiteral(""), std::nullopt, std::nullopt, kUpdated },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        const RemoteHistoryItem item = RemoteHistoryItem::fromJson(parsed(c.json), {});
        EXPECT_EQ(item.text, c.text);
        EXPECT_EQ(item.recognizedText, c.recognizedText);
        EXPECT_EQ(item.polishedText, c.polishedText);
        EXPECT_EQ(item.sourceApp, c.sourceApp);
        EXPECT_EQ(item.deletedAt, c.deletedAt);
        EXPECT_EQ(item.createdAt, kCreated);
        EXPECT_EQ(item.updatedAt, kCreated);
    }

    const Date before = Date::now();
    const RemoteHistoryItem undated = RemoteHistoryItem::fromJson(parsed(R"({"id":2,"client_id":"C"})"), {});
    EXPECT_GE(undated.createdAt, before);
    EXPECT_LE(undated.createdAt, Date::now());
    EXPECT_EQ(undated.updatedAt, undated.createdAt);
    EXPECT_EQ(undated.clientID, QStringLiteral("C"));
}

// Required keys missing or null, a wrong type, a number for a time or for a
// string, a bool as a number, snake_case where camel case is due.
TEST(DataSyncRecords, AnyBreachOfTheRecordsShapeFailsTheRecord)
{
    using Decode = std::function<void(const QJsonValue&)>;
    const Decode history = [](const QJsonValue& v) { HistorySyncResponse::fromJson(v, {}); };
    const Decode dictionary = [](const QJsonValue& v) { DictionarySyncResponse::fromJson(v, {}); };
    const Decode backendHistory = [](const QJsonValue& v) { BackendHistoryEntry::fromJson(v, {}); };
    const Decode backendDict = [](const QJsonValue& v) { BackendDictEntry::fromJson(v, {}); };
    const Decode remote = [](const QJsonValue& v) { RemoteHistoryItem::fromJson(v, {}); };
    const QByteArray item = R"({"id":1,"rawText":"r","polishedText":"","lang":"zh","scene":"chat","durationMs":5,)"
                            R"("appBundleId":"","createdAt":"2026-03-01T08:15:42Z"})";
    struct Case {
        const Decode* decode;
        QByteArray json;
    };
    const std::array cases{
        Case{&history, R"({"entries":[)" + item + R"(],"next_version":2,"has_more":1})"},
        Case{&history, R"({"entries":null,"next_version":2,"has_more":false})"},
        Case{&history, R"({"entries":[{"id":1,"raw_text":"r","polished_text":"","lang":"zh","scene":"chat",)"
                       R"("duration_ms":5,"app_bundle_id":"","created_at":"2026-03-01T08:15:42Z"}],)"
                       R"("next_version":2,"has_more":false})"},
        Case{&history, R"({"entries":[{"id":"1","rawText":"r","polishedText":"","lang":"zh","scene":"chat",)"
                       R"("durationMs":5,"appBundleId":"","createdAt":"2026-03-01T08:15:42Z"}],)"
                       R"("next_version":2,"has_more":false})"},
        Case{&dictionary,
             R"({"entries":[{"id":1,"term":"t","phonetic":"p","note":"","created_at":"2026-03-01T08:15:42Z",)"
             R"("updated_at":"2026-03-01T08:15:42Z"}],"next_version":2,"has_more":false})"},
        Case{&backendHistory, R"({"id":1,"raw_text":"r","created_at":1772352942})"},
        Case{&backendHistory, R"({"id":1,"raw_text":null,"created_at":"2026-03-01T08:15:42Z"})"},
        Case{&backendDict, R"({"id":1,"term":"t","note":7,"created_at":"2026-03-01T08:15:42Z",)"
                           R"("updated_at":"2026-03-01T08:15:42Z"})"},
        Case{&remote, R"({"raw_text":"r"})"},
        Case{&remote, R"({"id":1,"raw_text":5})"},
        Case{&remote, R"({"id":1,"deleted_at":1772352942})"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json.toStdString());
        EXPECT_THROW((*c.decode)(QJsonDocument::fromJson(c.json).object()), JsonError);
    }
}

TEST(DataSyncError, UserFacingTexts)
{
    const std::array<std::pair<DataSyncError, QString>, 3> cases { {
        { DataSyncError::invalidInput(QStringLiteral("术语不能为空")), QStringLiteral("术语不能为空") },
        { DataSyncError::transport(QStringLiteral("HTTP 500")), QStringLiteral("网络错误：HTTP 500") },
        { DataSyncError::notFound(), QStringLiteral("记录不存在") },
    } };
    for (const auto& [error, text] : cases) {
        SCOPED_TRACE(error.debugDescription().toStdString());
        EXPECT_EQ(error.errorDescription(), text);
    }
}

} // namespace
