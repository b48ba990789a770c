#pragma once

#include "SettingsWindow/SettingsSectionDescriptor.h"

// The diagnostics and about pages' texts that the settings search finds
// too; the about page's localised texts are in the catalogue.
namespace vellamor::DiagnosticsTexts {

inline const QString diagnosticsTitle = QStringLiteral("诊断与日志");
// The button's label; the explanation is the search's own.
inline const SettingsRowText copyReport{QStringLiteral("复制诊断信息"), QStringLiteral("把背景资料发给我们，反馈问题时附上")};
// Cards' titles over what they hold.
inline const SettingsRowText systemInfo{QStringLiteral("系统信息"), QStringLiteral("Vellamor 版本 / 系统版本")};
inline const SettingsRowText permissions{QStringLiteral("权限状态"), QStringLiteral("麦克风 / 辅助功能 / 输入监控")};
inline const SettingsRowText recentLog{QStringLiteral("最近日志"), QStringLiteral("客户端最近的运行日志（默认折叠）")};

// The name over the about page's version line.
inline const QString productName = QStringLiteral("Vellamor");

} // namespace vellamor::DiagnosticsTexts
