#include "SettingsWindow/SettingsSection.h"

#include <algorithm>

namespace vellamor {

namespace {

struct SectionInfo {
    SettingsSection section;
    const char* raw;
    const char* label;
    const char* icon;
};

constexpr std::array<SectionInfo, 8> sections{{
    {SettingsSection::general, "general", "常规", "gearshape"},
    {SettingsSection::backend, "backend", "账户", "person.crop.circle"},
    {SettingsSection::recording, "recording", "录音与热键", "mic"},
    {SettingsSection::recognition, "recognition", "识别与输出", "textformat"},
    {SettingsSection::appearance, "appearance", "外观", "paintbrush"},
    {SettingsSection::historyDict, "historyDict", "历史与词典", "book"},
    {SettingsSection::diagnostics, "diagnostics", "诊断与日志", "doc.text.magnifyingglass"},
    {SettingsSection::about, "about", "关于", "info.circle"},
}};

const SectionInfo& info(SettingsSection section)
{
    return *std::find_if(sections.begin(), sections.end(),
                         [section](const SectionInfo& entry) { return entry.section == section; });
}

} // namespace

QString rawValue(SettingsSection section)
{
    return QLatin1String(info(section).raw);
}

std::optional<SettingsSection> settingsSectionFromRawValue(const QString& raw)
{
    for (const SectionInfo& entry : sections) {
        if (raw == QLatin1String(entry.raw))
            return entry.section;
    }
    return std::nullopt;
}

QString sidebarLabel(SettingsSection section)
{
    return QString::fromUtf8(info(section).label);
}

QString sidebarIcon(SettingsSection section)
{
    return QLatin1String(info(section).icon);
}

} // namespace vellamor
