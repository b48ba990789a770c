#include "Diagnostics/DiagnosticsSettingsSections.h"

#include "Diagnostics/AboutPage.h"
#include "Diagnostics/DiagnosticsPage.h"
#include "Diagnostics/DiagnosticsTexts.h"
#include "I18n/L10n.h"
#include "SettingsWindow/SettingsPages.h"

namespace vellamor {

namespace texts = DiagnosticsTexts;

QList<SettingsSectionDescriptor> diagnosticsSettingsSections()
{
    return {
        // The page shows the two versions and no backend address.
        { SettingsSection::diagnostics, QStringLiteral("diagnostics"), texts::diagnosticsTitle,
            QStringLiteral("doc.text.magnifyingglass"),
            { shownSearchRow(texts::copyReport,
                  { QStringLiteral("diagnostics"), QStringLiteral("诊断"), QStringLiteral("复制"),
                      QStringLiteral("反馈"), QStringLiteral("bundle") }),
                shownSearchRow(texts::systemInfo,
                    { QStringLiteral("system"), QStringLiteral("version"), QStringLiteral("版本"),
                        QStringLiteral("linux") }),
                shownSearchRow(texts::permissions,
                    { QStringLiteral("permission"), QStringLiteral("权限"), QStringLiteral("麦克风"),
                        QStringLiteral("辅助功能"), QStringLiteral("输入监控"), QStringLiteral("microphone"),
                        QStringLiteral("accessibility") }),
                shownSearchRow(texts::recentLog,
                    { QStringLiteral("log"), QStringLiteral("logs"), QStringLiteral("日志"),
                        QStringLiteral("tail") }) },
            [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
                return new DiagnosticsPage(context.diagnostics, parent);
            } },
        // Found in Chinese whatever language the page is in.
        { SettingsSection::about, QStringLiteral("about"), QStringLiteral("关于"), QStringLiteral("info.circle"),
            { { { QStringLiteral("Vellamor 版本"), QStringLiteral("应用版本号与 build") },
                  { QStringLiteral("about"), QStringLiteral("关于"), QStringLiteral("version"), QStringLiteral("版本"),
                      QStringLiteral("build") },
                  texts::productName },
                { { QStringLiteral("反馈渠道"), QStringLiteral("在「诊断与日志」复制信息后邮件反馈") },
                    { QStringLiteral("feedback"), QStringLiteral("反馈"), QStringLiteral("邮件"),
                        QStringLiteral("contact") },
                    L10n::About::feedbackChannel() },
                { { QStringLiteral("开源状态"), QStringLiteral("内部开发中") },
                    { QStringLiteral("open source"), QStringLiteral("开源") }, L10n::About::license() } },
            [](const SettingsPageContext& context, QWidget* parent) -> QWidget* {
                return new AboutPage(context.diagnostics.version, context.diagnostics.workspace, parent);
            } },
    };
}

} // namespace vellamor
