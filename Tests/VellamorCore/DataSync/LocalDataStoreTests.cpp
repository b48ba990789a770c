#include "DataSync/LocalDataStore.h"

#include "Storage/FileSystemError.h"
#include "Support/AppPaths.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <limits>

using namespace vellamor;

namespace {

const Date kFractional = *Date::fromIso8601(u"2026-03-01T08:15:42.875Z");
const Date kWhole = *Date::fromIso8601(u"2026-03-01T08:15:42Z");

class LocalDataStoreTest : public ::testing::Test {
protected:
    QString file(const QString& name) const { return folder.path() + u'/' + name; }

    void write(const QString& name, const QByteArray& bytes) const
    {
        QFile out(file(name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }

    QByteArray read(const QString& name) const
    {
        QFile in(file(name));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
    }

    // Entries with these ids, each term "t<id>", created at kWhole.
    void seed(const QList<qint64>& ids) const
    {
        QList<DictEntry> entries;
        for (const qint64 id : ids)
            entries.append(DictEntry { id, QStringLiteral("t") + QString::number(id), QStringLiteral("r"),
                QStringLiteral("n"), kWhole, kWhole });
        store.saveDictionary(entries);
    }

    QTemporaryDir folder;
    LocalDataStore store{folder.path()};
};

TEST_F(LocalDataStoreTest, SavedListsReadBackInWholeSecondsWithSortedKeys)
{
    EXPECT_TRUE(store.loadHistory().isEmpty());
    EXPECT_TRUE(store.loadDictionary().isEmpty());
    EXPECT_FALSE(QFile::exists(store.historyURL()));
    EXPECT_FALSE(QFile::exists(store.dictionaryURL()));

    const QList<HistoryItem> history { { 9, QStringLiteral("raw"), QStringLiteral("好"), QStringLiteral("zh"),
                                           QStringLiteral("chat"), 1500, QStringLiteral("org.app"), kFractional },
        { -1, QStringLiteral("b"), {}, {}, {}, 0, {}, kWhole } };
    store.saveHistory(history);
    QList<HistoryItem> expected = history;
    expected[0].createdAt = kWhole;
    EXPECT_EQ(store.loadHistory(), expected);

    store.saveDictionary(
        { { std::numeric_limits<qint64>::max(), QStringLiteral("t"), QStringLiteral("r"), {}, kFractional, kWhole } });
    EXPECT_EQ(store.loadDictionary(),
        (QList<DictEntry> {
            { std::numeric_limits<qint64>::max(), QStringLiteral("t"), QStringLiteral("r"), {}, kWhole, kWhole } }));
    const QByteArray text = read(QStringLiteral("dictionary.json"));
    EXPECT_TRUE(text.contains(R"("createdAt": "2026-03-01T08:15:42Z")")) << text.toStdString();
    EXPECT_LT(text.indexOf("\"createdAt\""), text.indexOf("\"id\""));
    EXPECT_LT(text.indexOf("\"replacement\""), text.indexOf("\"term\""));
    EXPECT_LT(text.indexOf("\"term\""), text.indexOf("\"updatedAt\""));
}

TEST_F(LocalDataStoreTest, AFileInAnyOtherFormReadsAsEmptyAndIsReplacedByTheNextWrite)
{
    // One entry whose "createdAt" is `createdAt`.
    const auto created = [](const QByteArray& createdAt) -> QByteArray {
        return R"([{"id":1,"term":"t","replacement":"","note":"","createdAt":)" + createdAt
               + R"(,"updatedAt":"2026-03-01T08:15:42Z"}])";
    };
    const std::array<QByteArray, 7> contents{{
        "not json",
        R"({"id":1})",
        created(R"("2026-03-01T08:15:42.000Z")"),
        created("1772352942"),
        created(R"("2026-03-01 08:15:42")"),
        R"([{"id":1,"term":"t","note":"","createdAt":"2026-03-01T08:15:42Z","updatedAt":"2026-03-01T08:15:42Z"}])",
        R"([{"id":1,"term":"t","phonetic":"","note":"","created_at":"2026-03-01T08:15:42Z",)"
        R"("updated_at":"2026-03-01T08:15:42Z"}])",
    }};
    for (const QByteArray& content : contents) {
        SCOPED_TRACE(content.toStdString());
        write(QStringLiteral("dictionary.json"), content);
        EXPECT_TRUE(store.loadDictionary().isEmpty());
        EXPECT_EQ(store.upsertDictionary(std::nullopt, QStringLiteral("新"), {}, {}).id, -1);
        EXPECT_EQ(store.loadDictionary().size(), 1);
    }
    // The same time with an offset is still whole seconds.
    write(QStringLiteral("history.json"),
        R"([{"id":1,"rawText":"","polishedText":"","lang":"","scene":"","durationMs":0,)"
        R"("appBundleId":"","createdAt":"2026-03-01T16:15:42+08:00"}])");
    EXPECT_EQ(store.loadHistory().value(0).createdAt, kWhole);
}

TEST_F(LocalDataStoreTest, UpsertMatchesByIdThenCanonicalTermElseAppendsTheNextLocalId)
{
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    struct Case {
        const char* name;
        QList<qint64> ids;
        std::optional<qint64> id;
        QString term;
        qint64 writtenID;
        qsizetype position;
    };
    const std::array cases {
        Case { "new term after server ids", { 12, 30 }, std::nullopt, QStringLiteral("new"), -1, 2 },
        Case { "after a local id", { -1, 3 }, std::nullopt, QStringLiteral("new"), -2, 2 },
        Case { "below the smallest", { -4 }, std::nullopt, QStringLiteral("new"), -5, 1 },
        Case { "empty list", {}, std::nullopt, QStringLiteral("new"), -1, 0 },
        Case { "no room below the smallest", { kMin, -1 }, std::nullopt, QStringLiteral("new"), -2, 2 },
        Case { "unknown id, known term", { 5, 7 }, 99, QStringLiteral("t7"), 7, 1 },
        Case { "known id beats a term match", { 5, 7 }, 5, QStringLiteral("t7"), 5, 0 },
        Case { "letter case counts", { 5 }, std::nullopt, QStringLiteral("T5"), -1, 1 },
        Case { "a trailing space counts", { 5 }, std::nullopt, QStringLiteral("t5 "), -1, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seed(c.ids);
        const Date before = Date::now();
        const DictEntry written = store.upsertDictionary(c.id, c.term, QStringLiteral("rep"), QStringLiteral("note"));
        const QList<DictEntry> entries = store.loadDictionary();
        EXPECT_EQ(written.id, c.writtenID);
        EXPECT_EQ(written.term, c.term);
        ASSERT_EQ(entries.size(), std::max(c.ids.size(), c.position + 1));
        EXPECT_EQ(entries[c.position].id, written.id);
        EXPECT_EQ(entries[c.position].replacement, QStringLiteral("rep"));
        const bool matched = c.position < c.ids.size();
        EXPECT_EQ(written.createdAt, matched ? kWhole : written.updatedAt);
        EXPECT_GE(written.updatedAt, before);
    }

    // Precomposed and decomposed forms of the same letters are one term.
    store.saveDictionary({ { 3, QStringLiteral("caf\u00e9"), {}, {}, kWhole, kWhole } });
    EXPECT_EQ(store.upsertDictionary(std::nullopt, QStringLiteral("cafe\u0301"), QStringLiteral("x"), {}).id, 3);
}

TEST_F(LocalDataStoreTest, WritesIntoAFolderThatCannotExistFailAndLeaveNoFile)
{
    write(QStringLiteral("blocker"), "a file, not a folder");
    const LocalDataStore blocked(file(QStringLiteral("blocker/sub")));
    EXPECT_TRUE(blocked.loadDictionary().isEmpty());
    EXPECT_THROW(blocked.upsertDictionary(std::nullopt, QStringLiteral("t"), {}, {}), FileSystemError);
    EXPECT_THROW(blocked.saveHistory({}), FileSystemError);
    EXPECT_EQ(LocalDataStore::defaultRoot(), *AppPaths::applicationSupportDirectory());
}

} // namespace
