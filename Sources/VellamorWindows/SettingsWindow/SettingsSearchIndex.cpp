#include "SettingsWindow/SettingsSearchIndex.h"

#include "SettingsWindow/SettingsSectionDescriptor.h"

namespace vellamor {

namespace {

QList<SettingsSearchEntry> buildEntries()
{
    QList<SettingsSearchEntry> entries;
    for (const SettingsSectionDescriptor& descriptor : settingsSections()) {
        for (const SettingsSearchRow& row : descriptor.searchRows)
            entries.append({descriptor.section, row.text.title, row.text.subtitle, row.keywords});
    }
    return entries;
}

bool contains(const QString& text, const QString& needle)
{
    return text.toLower().contains(needle);
}

bool matches(const SettingsSearchEntry& entry, const QString& needle)
{
    if (contains(entry.title, needle) || (entry.subtitle && contains(*entry.subtitle, needle)))
        return true;
    for (const QString& keyword : entry.keywords) {
        if (contains(keyword, needle))
            return true;
    }
    return contains(sidebarLabel(entry.section), needle);
}

} // namespace

QString SettingsSearchEntry::id() const
{
    return rawValue(section) + QStringLiteral("::") + title + QStringLiteral("::") + subtitle.value_or(QString());
}

const QList<SettingsSearchEntry>& SettingsSearchIndex::entries()
{
    static const QList<SettingsSearchEntry> built = buildEntries();
    return built;
}

QList<SettingsSearchEntry> SettingsSearchIndex::match(const QString& query)
{
    const QString needle = query.trimmed().toLower();
    QList<SettingsSearchEntry> found;
    if (needle.isEmpty())
        return found;
    for (const SettingsSearchEntry& entry : entries()) {
        if (matches(entry, needle))
            found.append(entry);
    }
    return found;
}

QList<SettingsSection> SettingsSearchIndex::hitSections(const QString& query)
{
    QList<SettingsSection> sections;
    for (const SettingsSearchEntry& entry : match(query)) {
        if (!sections.contains(entry.section))
            sections.append(entry.section);
    }
    return sections;
}

std::optional<SettingsSection> SettingsSearchIndex::sectionToShow(const QString& query, SettingsSection current)
{
    const QList<SettingsSection> hits = hitSections(query);
    if (hits.isEmpty() || hits.contains(current))
        return std::nullopt;
    return hits.first();
}

} // namespace vellamor
