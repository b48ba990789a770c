#pragma once

#include "SettingsWindow/SettingsSectionDescriptor.h"

// The texts of the settings window's own pages that the search finds too:
// the pages show them, the search index is built from them.
namespace vellamor::SettingsTexts {

// The pages' titles, also their sidebar labels.
inline const QString generalTitle = QStringLiteral("常规");
inline const QString recordingTitle = QStringLiteral("录音与热键");
inline const QString recognitionTitle = QStringLiteral("识别与输出");
inline const QString appearanceTitle = QStringLiteral("外观");
inline const QString historyDictTitle = QStringLiteral("历史与词典");

inline const SettingsRowText language{QStringLiteral("语言"),
                                      QStringLiteral("选择“自动识别”时，Vellamor 会根据你说的内容自动判断")};
inline const SettingsRowText polish{QStringLiteral("说话转写后自动润色"), QStringLiteral("帮你去掉口癖和重复，让文字更干净")};
inline const SettingsRowText launchAtLogin{QStringLiteral("登录时打开 Vellamor"),
                                           QStringLiteral("开机自动驻留在托盘，无需手动启动")};

inline const SettingsRowText holdMode{QStringLiteral("按住说话"), QStringLiteral("按住录音、松手结束；适合零散短句")};
inline const SettingsRowText toggleMode{QStringLiteral("点按切换"), QStringLiteral("按一次开始、再按一次结束；适合长篇口述")};
// Its explanation names this desktop's held key.
inline const QString hotkey = QStringLiteral("录音快捷键");
inline const SettingsRowText autoStop{QStringLiteral("录太久会自动停下"),
                                      QStringLiteral("说满 5 分钟时灵动岛会变黄提醒，6 分钟会自动保存并停止。")};

inline const SettingsRowText sceneAutoDetect{QStringLiteral("根据当前 App 自动选择场景"),
                                             QStringLiteral("邮件 App 用邮件风格、编辑器用代码风格、聊天 App 用聊天风格")};
inline const SettingsRowText defaultScene{QStringLiteral("默认场景"), QStringLiteral("当自动识别找不到匹配 App 时使用这个")};
inline const SettingsRowText polishStyle{QStringLiteral("润色风格"), QStringLiteral("润色开关在「常规」分区统一管理")};
inline const SettingsRowText insertedText{QStringLiteral("插入内容"),
                                          QStringLiteral("有润色结果时插入润色文本；缺失时自动回退原文")};
inline const SettingsRowText polishStatus{QStringLiteral("自动润色状态"),
                                          QStringLiteral("在「常规」→「说话转写后自动润色」切换")};

inline const SettingsRowText theme{QStringLiteral("外观主题"), QStringLiteral("灵动岛始终使用深色背景，与系统托盘一致")};
// A card's title; the explanation is the search's own.
inline const SettingsRowText islandPosition{QStringLiteral("灵动岛位置"),
                                            QStringLiteral("灵动岛始终出现在主屏顶部居中，距屏幕顶部 14pt")};

// The history card's title over what the panel offers.
inline const SettingsRowText history{QStringLiteral("历史"), QStringLiteral("支持搜索、复制、重新插入到当前光标处。")};
inline const QString dictionary = QStringLiteral("个人词典");

} // namespace vellamor::SettingsTexts
