#include "Diagnostics/DiagnosticsSettingsSections.h"

#include "Diagnostics/AboutPage.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "Diagnostics/DiagnosticsTexts.h"
#include "I18n/L10n.h"
#include "SettingsWindow/SettingsPages.h"

namespace vellamor {

using namespace Qt::StringLiterals;
namespace texts = DiagnosticsTexts;

QList<SettingsSectionDescriptor> diagnosticsSettingsSections()
{
    return {
        // The page shows the two versions and no backend address.
        {SettingsSection::diagnostics, u"diagnostics"_s, texts::diagnosticsTitle, u"doc.text.magnifyingglass"_s,
         {shownSearchRow(texts::copyReport, {u"diagnostics"_s, u"诊断"_s, u"复制"_s, u"反馈"_s, u"bundle"_s}),
          shownSearchRow(texts::systemInfo, {u"system"_s, u"version"_s, u"版本"_s, u"linux"_s}),
          shownSearchRow(texts::permissions, {u"permission"_s, u"权限"_s, u"麦克风"_s, u"辅助功能"_s, u"输入监控"_s,
                                              u"microphone"_s, u"accessibility"_s}),
          shownSearchRow(texts::recentLog, {u"log"_s, u"logs"_s, u"日志"_s, u"tail"_s})},
         [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
             return new DiagnosticsPage(context.diagnostics, parent);
         }},
        // Found in Chinese whatever language the page is in.
        {SettingsSection::about, u"about"_s, u"关于"_s, u"info.circle"_s,
         {{{u"Vellamor 版本"_s, u"应用版本号与 build"_s},
           {u"about"_s, u"关于"_s, u"version"_s, u"版本"_s, u"build"_s},
           texts::productName},
          {{u"反馈渠道"_s, u"在「诊断与日志」复制信息后邮件反馈"_s},
           {u"feedback"_s, u"反馈"_s, u"邮件"_s, u"contact"_s},
           L10n::About::feedbackChannel()},
          {{u"开源状态"_s, u"内部开发中"_s}, {u"open source"_s, u"开源"_s}, L10n::About::license()}},
         [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
             return new AboutPage(context.diagnostics.version, context.diagnostics.workspace, parent);
         }},
    };
}

} // namespace vellamor
