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

using namespace Qt::StringLiterals;
using enum SettingsSection;
namespace texts = SettingsTexts;

template<typename Client>
std::shared_ptr<Client> build(const WindowServices::Factory<Client>& factory)
{
    return factory ? factory() : nullptr;
}

} // namespace

QList<SettingsSectionDescriptor> settingsWindowSections()
{
    return {
        {general, u"general"_s, texts::generalTitle, u"gearshape"_s,
         {shownSearchRow(texts::language, {u"language"_s, u"中文"_s, u"english"_s, u"auto"_s, u"自动识别"_s}),
          shownSearchRow(texts::polish, {u"llm"_s, u"polish"_s, u"润色"_s, u"口癖"_s}),
          shownSearchRow(texts::launchAtLogin, {u"launch"_s, u"startup"_s, u"登录项"_s, u"开机"_s, u"启动项"_s})},
         [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
             return new GeneralPage(context.obs, context.hooks.launchAtLogin, parent);
         }},
        {recording, u"recording"_s, texts::recordingTitle, u"mic"_s,
         {shownSearchRow(texts::holdMode, {u"hold"_s, u"press"_s, u"按住"_s, u"短句"_s}),
          shownSearchRow(texts::toggleMode, {u"toggle"_s, u"切换"_s, u"长篇"_s, u"口述"_s}),
          shownSearchRow({texts::hotkey, RecordingPage::hotkeySubtitle()},
                         {u"shortcut"_s, u"hotkey"_s, u"fn"_s, u"ctrl"_s, u"快捷键"_s, u"热键"_s, u"键盘"_s, u"录制"_s,
                          u"自定义"_s}),
          shownSearchRow(texts::autoStop, {u"timeout"_s, u"超时"_s, u"5 分钟"_s, u"6 分钟"_s, u"自动停止"_s})},
         [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
             return new RecordingPage(context.obs, context.hooks.soundServer, context.hooks.hotkeyRecording, parent);
         }},
        {recognition, u"recognition"_s, texts::recognitionTitle, u"textformat"_s,
         {shownSearchRow(texts::sceneAutoDetect,
                         {u"scene"_s, u"场景"_s, u"auto"_s, u"自动"_s, u"邮件"_s, u"聊天"_s, u"代码"_s}),
          shownSearchRow(texts::defaultScene,
                         {u"default"_s, u"scene"_s, u"默认"_s, u"场景"_s, u"通用"_s, u"邮件"_s, u"聊天"_s, u"代码"_s}),
          shownSearchRow(texts::polishStyle, {u"style"_s, u"风格"_s, u"润色"_s, u"正式"_s, u"随意"_s, u"原样"_s}),
          // Found by the words of the choice it answers; the row shows which text goes in.
          {{u"只插入原文，不插入润色版本"_s, u"润色结果仍会在灵动岛下方预览，方便你对比"_s},
           {u"raw"_s, u"原文"_s, u"插入"_s, u"润色"_s},
           texts::insertedText.title},
          shownSearchRow(texts::polishStatus, {u"status"_s, u"状态"_s, u"润色"_s})},
         [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
             return new RecognitionPage(context.obs, context.hooks.auth, build(context.services.models), parent);
         }},
        {appearance, u"appearance"_s, texts::appearanceTitle, u"paintbrush"_s,
         {shownSearchRow(texts::theme,
                         {u"theme"_s, u"主题"_s, u"appearance"_s, u"暗色"_s, u"亮色"_s, u"dark"_s, u"light"_s}),
          shownSearchRow(texts::islandPosition, {u"island"_s, u"灵动岛"_s, u"位置"_s, u"顶部"_s})},
         [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
             return new AppearancePage(context.theme, parent);
         }},
        // The page offers the panel's search and re-insertion, no export
        // and no time limit.
        {historyDict, u"historyDict"_s, texts::historyDictTitle, u"book"_s,
         {shownSearchRow(texts::history, {u"history"_s, u"历史"_s, u"稿件"_s}),
          {{u"把专有名词告诉 Vellamor"_s, u"人名、品牌、缩写都可以加入词典，识别准确率显著提升。"_s},
           {u"dictionary"_s, u"词典"_s, u"专有名词"_s, u"人名"_s, u"品牌"_s, u"缩写"_s},
           texts::dictionary}},
         [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
             const SettingsPageHooks& hooks = context.hooks;
             return new HistoryDictionaryPage({hooks.auth, hooks.historyStore, hooks.historySyncEngine,
                                               build(context.services.dataSync),
                                               build(context.services.serverPreferences)},
                                              hooks.showHistory, hooks.showDictionary, parent);
         }},
    };
}

} // namespace vellamor
