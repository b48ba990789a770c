#include "SettingsWindow/SettingsSearchIndex.h"

#include "SettingsWindow/RecordingPage.h"

namespace vellamor {

namespace {

SettingsSearchEntry entry(SettingsSection section, const char* title, const char* subtitle,
                          std::initializer_list<const char*> keywords)
{
    QStringList words;
    for (const char* keyword : keywords)
        words.append(QString::fromUtf8(keyword));
    return {section, QString::fromUtf8(title), QString::fromUtf8(subtitle), words};
}

QList<SettingsSearchEntry> buildEntries()
{
    using enum SettingsSection;
    return {
        entry(general, "语言", "选择“自动识别”时，Vellamor 会根据你说的内容自动判断",
              {"language", "中文", "english", "auto", "自动识别"}),
        entry(general, "说话转写后自动润色", "帮你去掉口癖和重复，让文字更干净", {"llm", "polish", "润色", "口癖"}),
        entry(general, "登录时打开 Vellamor", "开机自动驻留在托盘，无需手动启动",
              {"launch", "startup", "登录项", "开机", "启动项"}),
        entry(backend, "账户", "登录后可在多台设备间同步你的词典与历史",
              {"account", "login", "登录", "同步", "sync", "多端"}),
        entry(recording, "按住说话", "按住录音、松手结束；适合零散短句", {"hold", "press", "按住", "短句"}),
        entry(recording, "点按切换", "按一次开始、再按一次结束；适合长篇口述", {"toggle", "切换", "长篇", "口述"}),
        {recording, QStringLiteral("录音快捷键"), RecordingPage::hotkeySubtitle(),
         {QStringLiteral("shortcut"), QStringLiteral("hotkey"), QStringLiteral("fn"), QStringLiteral("ctrl"),
          QStringLiteral("快捷键"), QStringLiteral("热键"), QStringLiteral("键盘"), QStringLiteral("录制"),
          QStringLiteral("自定义")}},
        entry(recording, "录太久会自动停下", "说满 5 分钟时灵动岛会变黄提醒，6 分钟会自动保存并停止。",
              {"timeout", "超时", "5 分钟", "6 分钟", "自动停止"}),
        entry(recognition, "根据当前 App 自动选择场景", "邮件 App 用邮件风格、编辑器用代码风格、聊天 App 用聊天风格",
              {"scene", "场景", "auto", "自动", "邮件", "聊天", "代码"}),
        entry(recognition, "默认场景", "当自动识别找不到匹配 App 时使用这个",
              {"default", "scene", "默认", "场景", "通用", "邮件", "聊天", "代码"}),
        entry(recognition, "润色风格", "润色开关在「常规」分区统一管理",
              {"style", "风格", "润色", "正式", "随意", "原样"}),
        entry(recognition, "只插入原文，不插入润色版本", "润色结果仍会在灵动岛下方预览，方便你对比",
              {"raw", "原文", "插入", "润色"}),
        entry(recognition, "自动润色状态", "在「常规」→「说话转写后自动润色」切换", {"status", "状态", "润色"}),
        entry(appearance, "外观主题", "灵动岛始终使用深色背景，与系统托盘一致",
              {"theme", "主题", "appearance", "暗色", "亮色", "dark", "light"}),
        entry(appearance, "灵动岛位置", "灵动岛始终出现在主屏顶部居中，距屏幕顶部 14pt",
              {"island", "灵动岛", "位置", "顶部"}),
        // The page offers the panel's search and re-insertion, no export
        // and no time limit.
        entry(historyDict, "历史", "支持搜索、复制、重新插入到当前光标处。", {"history", "历史", "稿件"}),
        entry(historyDict, "把专有名词告诉 Vellamor", "人名、品牌、缩写都可以加入词典，识别准确率显著提升。",
              {"dictionary", "词典", "专有名词", "人名", "品牌", "缩写"}),
        entry(diagnostics, "复制诊断信息", "把背景资料发给我们，反馈问题时附上",
              {"diagnostics", "诊断", "复制", "反馈", "bundle"}),
        // The page shows the two versions and no backend address.
        entry(diagnostics, "系统信息", "Vellamor 版本 / 系统版本", {"system", "version", "版本", "linux"}),
        entry(diagnostics, "权限状态", "麦克风 / 辅助功能 / 输入监控",
              {"permission", "权限", "麦克风", "辅助功能", "输入监控", "microphone", "accessibility"}),
        entry(diagnostics, "最近日志", "客户端最近的运行日志（默认折叠）", {"log", "logs", "日志", "tail"}),
        entry(about, "Vellamor 版本", "应用版本号与 build", {"about", "关于", "version", "版本", "build"}),
        entry(about, "反馈渠道", "在「诊断与日志」复制信息后邮件反馈", {"feedback", "反馈", "邮件", "contact"}),
        entry(about, "开源状态", "内部开发中", {"open source", "开源"}),
    };
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
