#include "SettingsWindow/SettingsWindowSections.h"

#include "SettingsWindow/AppearancePage.h"
#include "SettingsWindow/GeneralPage.h"
#include "SettingsWindow/HistoryDictionaryPage.h"
#include "SettingsWindow/RecognitionPage.h"
#include "SettingsWindow/RecordingPage.h"
#include "SettingsWindow/SettingsPages.h"
#include "SettingsWindow/SettingsTexts.h"
#include "Windows/WindowServices.h"

namespace vellamor {

namespace {

using enum SettingsSection;
namespace texts = SettingsTexts;

template<typename Client>
std::shared_ptr<Client> build(const WindowServices::Factory<Client>& factory)
{
    return factory ? factory() : nullptr;
}

SettingsSectionDescriptor generalSection()
{
    return { general, QStringLiteral("general"), texts::generalTitle, QStringLiteral("gearshape"),
        { shownSearchRow(texts::language,
              { QStringLiteral("language"), QStringLiteral("中文"), QStringLiteral("english"), QStringLiteral("auto"),
                  QStringLiteral("自动识别") }),
            shownSearchRow(texts::polish,
                { QStringLiteral("llm"), QStringLiteral("polish"), QStringLiteral("润色"), QStringLiteral("口癖") }),
            shownSearchRow(texts::launchAtLogin,
                { QStringLiteral("launch"), QStringLiteral("startup"), QStringLiteral("登录项"), QStringLiteral("开机"),
                    QStringLiteral("启动项") }) },
        [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
            return new GeneralPage(context.obs, context.hooks.launchAtLogin, parent);
        } };
}

SettingsSectionDescriptor recordingSection()
{
    return { recording, QStringLiteral("recording"), texts::recordingTitle, QStringLiteral("mic"),
        { shownSearchRow(texts::holdMode,
              { QStringLiteral("hold"), QStringLiteral("press"), QStringLiteral("按住"), QStringLiteral("短句") }),
            shownSearchRow(texts::toggleMode,
                { QStringLiteral("toggle"), QStringLiteral("切换"), QStringLiteral("长篇"), QStringLiteral("口述") }),
            shownSearchRow({ texts::hotkey, RecordingPage::hotkeySubtitle() },
                { QStringLiteral("shortcut"), QStringLiteral("hotkey"), QStringLiteral("fn"), QStringLiteral("ctrl"),
                    QStringLiteral("快捷键"), QStringLiteral("热键"), QStringLiteral("键盘"), QStringLiteral("录制"),
                    QStringLiteral("自定义") }),
            shownSearchRow(texts::autoStop,
                { QStringLiteral("timeout"), QStringLiteral("超时"), QStringLiteral("5 分钟"), QStringLiteral("6 分钟"),
                    QStringLiteral("自动停止") }) },
        [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
            return new RecordingPage(context.obs, context.hooks.soundServer, context.hooks.hotkeyRecording, parent);
        } };
}

SettingsSectionDescriptor recognitionSection()
{
    return { recognition, QStringLiteral("recognition"), texts::recognitionTitle, QStringLiteral("textformat"),
        { shownSearchRow(texts::sceneAutoDetect,
              { QStringLiteral("scene"), QStringLiteral("场景"), QStringLiteral("auto"), QStringLiteral("自动"),
                  QStringLiteral("邮件"), QStringLiteral("聊天"), QStringLiteral("代码") }),
            shownSearchRow(texts::defaultScene,
                { QStringLiteral("default"), QStringLiteral("scene"), QStringLiteral("默认"), QStringLiteral("场景"),
                    QStringLiteral("通用"), QStringLiteral("邮件"), QStringLiteral("聊天"), QStringLiteral("代码") }),
            shownSearchRow(texts::polishStyle,
                { QStringLiteral("style"), QStringLiteral("风格"), QStringLiteral("润色"), QStringLiteral("正式"),
                    QStringLiteral("随意"), QStringLiteral("原样") }),
            // Found by the words of the choice it answers; the row shows which text goes in.
            { { QStringLiteral("只插入原文，不插入润色版本"),
                  QStringLiteral("润色结果仍会在灵动岛下方预览，方便你对比") },
                { QStringLiteral("raw"), QStringLiteral("原文"), QStringLiteral("插入"), QStringLiteral("润色") },
                texts::insertedText.title },
            shownSearchRow(
                texts::polishStatus, { QStringLiteral("status"), QStringLiteral("状态"), QStringLiteral("润色") }) },
        [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
            return new RecognitionPage(context.obs, context.hooks.auth, build(context.services.models), parent);
        } };
}

SettingsSectionDescriptor appearanceSection()
{
    return { appearance, QStringLiteral("appearance"), texts::appearanceTitle, QStringLiteral("paintbrush"),
        { shownSearchRow(texts::theme,
              { QStringLiteral("theme"), QStringLiteral("主题"), QStringLiteral("appearance"), QStringLiteral("暗色"),
                  QStringLiteral("亮色"), QStringLiteral("dark"), QStringLiteral("light") }),
            shownSearchRow(texts::islandPosition,
                { QStringLiteral("island"), QStringLiteral("灵动岛"), QStringLiteral("位置"),
                    QStringLiteral("顶部") }) },
        [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
            return new AppearancePage(context.theme, parent);
        } };
}

// The page offers the panel's search and re-insertion, no export
// and no time limit.
SettingsSectionDescriptor historyDictSection()
{
    return { historyDict, QStringLiteral("historyDict"), texts::historyDictTitle, QStringLiteral("book"),
        { shownSearchRow(texts::history, { QStringLiteral("history"), QStringLiteral("历史"), QStringLiteral("稿件") }),
            { { QStringLiteral("把专有名词告诉 Vellamor"),
                  QStringLiteral("人名、品牌、缩写都可以加入词典，识别准确率显著提升。") },
                { QStringLiteral("dictionary"), QStringLiteral("词典"), QStringLiteral("专有名词"),
                    QStringLiteral("人名"), QStringLiteral("品牌"), QStringLiteral("缩写") },
                texts::dictionary } },
        [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
            const SettingsPageHooks& hooks = context.hooks;
            return new HistoryDictionaryPage(
                { hooks.auth, hooks.historyStore, hooks.historySyncEngine, build(context.services.dataSync),
                    build(context.services.serverPreferences) },
                hooks.showHistory, hooks.showDictionary, parent);
        } };
}

} // namespace

QList<SettingsSectionDescriptor> settingsWindowSections()
{
    return { generalSection(), recordingSection(), recognitionSection(), appearanceSection(), historyDictSection() };
}

} // namespace vellamor
