#include "SettingsWindow/SettingsSearchIndex.h"

#include <QSet>

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;
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
    EXPECT_EQ(entries[13].id(), u"appearance::外观主题::灵动岛始终使用深色背景，与系统托盘一致"_s);
}

TEST(SettingsSearchIndexTest, FindsSectionsByTitleSubtitleKeywordOrLabelAndJumpsOnlyWhenNeeded)
{
    const struct {
        QString query;
        SettingsSection current;
        QList<SettingsSection> hits;
        std::optional<SettingsSection> shown;
    } cases[] = {
        {u"Dark"_s, general, {appearance}, appearance},
        {u"润色"_s, recognition, {general, recognition}, std::nullopt},
        {u"润色"_s, about, {general, recognition}, general},
        {u"关于"_s, general, {about}, about},
        {u"  日志\n"_s, general, {diagnostics, about}, diagnostics},
        {u"常规"_s, appearance, {general, recognition}, general},
        {u"OPEN SOURCE"_s, general, {about}, about},
        {u"导出"_s, general, {}, std::nullopt},
        {u"后端地址"_s, general, {}, std::nullopt},
        {u"no such setting"_s, recording, {}, std::nullopt},
        {u"   "_s, recording, {}, std::nullopt},
        {QString(), recording, {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        EXPECT_EQ(SettingsSearchIndex::hitSections(c.query), c.hits);
        EXPECT_EQ(SettingsSearchIndex::sectionToShow(c.query, c.current), c.shown);
    }
    // Each entry once, in index order, whichever of its texts matched.
    QStringList titles;
    for (const SettingsSearchEntry& entry : SettingsSearchIndex::match(u"润色"_s))
        titles.append(entry.title);
    EXPECT_EQ(titles, (QStringList{u"说话转写后自动润色"_s, u"润色风格"_s, u"只插入原文，不插入润色版本"_s,
                                   u"自动润色状态"_s}));
}

} // namespace
} // namespace vellamor::test
