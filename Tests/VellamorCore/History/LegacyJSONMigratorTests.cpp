#include "HistoryLogFixture.h"
#include "History/LegacyJSONMigrator.h"
#include "QtPrinters.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <array>
#include <optional>

using vellamor::HistoryRecord;

namespace {

class LegacyJSONMigratorTest : public vellamor::test::HistoryLogFixture {
protected:
    QString path(const QString& relative) const { return base.path() + QLatin1Char('/') + relative; }
    void write(const QString& relative, const QByteArray& contents) const
    {
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    std::optional<QByteArray> read(const QString& relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? std::optional(file.readAll()) : std::nullopt;
    }
    // The texts imported, in order.
    QStringList run()
    {
        QStringList imported;
        vellamor::LegacyJSONMigrator::runIfNeeded(
            base.path(), [&](const HistoryRecord& record) { imported << record.text; },
            log(QStringLiteral("legacy-migrator")));
        return imported;
    }
    bool marked() const { return QFile::exists(path(QStringLiteral("legacy/.migrated-history"))); }
};

} // namespace

TEST_F(LegacyJSONMigratorTest, ImportsOnceThenParksTheFileBehindTheMarker)
{
    const QString decodeFailed = QStringLiteral("warn legacy history decode failed, skipping content");
    struct Case {
        const char* name;
        std::optional<QByteArray> contents; // none: no legacy file
        QStringList imported;
        QStringList logged;
    };
    const std::array cases {
        Case {"no legacy file", std::nullopt, {}, {}},
        Case {"empty file", QByteArray(), {}, {}},
        Case {"empty array", QByteArray("[]"), {}, {QStringLiteral("info legacy history migrated: count=0")}},
        Case {"records with and without ids",
              QByteArray(R"([{"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "text": "first", "serverId": 9},
                             {"text": "second", "createdAt": "2024-05-02T08:00:00+02:00"}])"),
              {QStringLiteral("first"), QStringLiteral("second")},
              {QStringLiteral("info legacy history migrated: count=2")}},
        Case {"not an array", QByteArray(R"({"text": "x"})"), {}, {decodeFailed}},
        Case {"one bad element", QByteArray(R"([{"text": "ok"}, {"id": "nope", "text": "bad"}])"), {}, {decodeFailed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        base.remove();
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("legacy"))));
        systemLog = std::make_shared<vellamor::test::RecordingSystemLog>();
        if (c.contents) {
            write(QStringLiteral("history.json"), *c.contents);
            write(QStringLiteral("legacy/history.json"), "parked earlier");
        }

        EXPECT_EQ(run(), c.imported);
        EXPECT_EQ(logged(), c.logged);
        EXPECT_TRUE(marked());
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("history.json"))));
        EXPECT_EQ(read(QStringLiteral("legacy/history.json")), c.contents);

        write(QStringLiteral("history.json"), "[]");
        EXPECT_TRUE(run().isEmpty());
        EXPECT_EQ(logged(), c.logged);
    }
}

// The legacy file is the user's only copy of that history: it leaves the
// root only once it is safe in the legacy folder.
TEST_F(LegacyJSONMigratorTest, AFailureNeverLosesTheLegacyFile)
{
    ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("legacy/history.json/in-the-way"))));
    write(QStringLiteral("history.json"), "[]");
    run();
    EXPECT_TRUE(marked());
    EXPECT_EQ(read(QStringLiteral("history.json")), QByteArray("[]"));

    // Without the folder nothing is marked, so the next call tries again.
    base.remove();
    ASSERT_TRUE(QDir().mkpath(base.path()));
    write(QStringLiteral("legacy"), "a file");
    write(QStringLiteral("history.json"), "[]");
    run();
    EXPECT_FALSE(marked());
    EXPECT_EQ(read(QStringLiteral("history.json")), QByteArray("[]"));

    EXPECT_EQ(logged(),
              (QStringList {QStringLiteral("info legacy history migrated: count=0"),
                            QStringLiteral("warn legacy move failed: writeFailed(\"%1/legacy/history.json: Is a "
                                           "directory\"); try copy")
                                .arg(base.path()),
                            QStringLiteral("warn legacy dir create failed: createFolderFailed(\"%1/legacy: Not a "
                                           "directory\")")
                                .arg(base.path())}));
}
