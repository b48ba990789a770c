#include "SettingsWindow/SettingsSearchIndex.h"

#include <QSet>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using enum SettingsSection;

TEST(SettingsSearchIndexTest, EntriesAreUniqueAndCoverEverySection)
{
    const QList<SettingsSearchEntry>& entries = SettingsSearchIndex::entries();
    ASSERT_EQ(entries.size(), 24);
    QSet<QString> ids;
    QSet<SettingsSection> sections;
    for (const SettingsSearchEntry& entry : entries) {
        ids.insert(entry.id());
        sections.insert(entry.section);
    }
    EXPECT_EQ(ids.size(), 24);
    EXPECT_EQ(sections.size(), 8);
    EXPECT_EQ(entries[13].id(), QStringLiteral("appearance::外观主题::灵动岛始终使用深色背景，与系统托盘一致"));
}

TEST(SettingsSearchIndexTest, FindsSectionsByTitleSubtitleKeywordOrLabelAndJumpsOnlyWhenNeeded)
{
    const struct {
        QString query;
        SettingsSection current;
        QList<SettingsSection> hits;
        std::optional<SettingsSection> shown;
    } cases[] = {
        { QStringLiteral("Dark"), general, { appearance }, appearance },
        { QStringLiteral("润色"), recognition, { general, recognition }, std::nullopt },
        { QStringLiteral("润色"), about, { general, recognition }, general },
        { QStringLiteral("关于"), general, { about }, about },
        { QStringLiteral("  日志\n"), general, { diagnostics, about }, diagnostics },
        { QStringLiteral("常规"), appearance, { general, recognition }, general },
        { QStringLiteral("OPEN SOURCE"), general, { about }, about },
        { QStringLiteral("导出"), general, {}, std::nullopt },
        { QStringLiteral("后端地址"), general, {}, std::nullopt },
        { QStringLiteral("no such setting"), recording, {}, std::nullopt },
        { QStringLiteral("   "), recording, {}, std::nullopt },
        { QString(), recording, {}, std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        EXPECT_EQ(SettingsSearchIndex::hitSections(c.query), c.hits);
        EXPECT_EQ(SettingsSearchIndex::sectionToShow(c.query, c.current), c.shown);
    }
    // Each entry once, in index order, whichever of its texts matched.
    QStringList titles;
    for (const SettingsSearchEntry& entry : SettingsSearchIndex::match(QStringLiteral("润色")))
        titles.append(entry.title);
    EXPECT_EQ(titles,
        (QStringList { QStringLiteral("说话转写后自动润色"), QStringLiteral("润色风格"),
            QStringLiteral("只插入原文，不插入润色版本"), QStringLiteral("自动润色状态") }));
}

} // namespace
} // namespace vellamor::test
