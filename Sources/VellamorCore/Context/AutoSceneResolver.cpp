#include "Context/AutoSceneResolver.h"

namespace vellamor {

const QStringList& AutoSceneResolver::email()
{
    static const QStringList list {
        QStringLiteral("com.apple.mail"),
        QStringLiteral("com.readdle.smartemail"),
        QStringLiteral("com.microsoft.Outlook"),
        QStringLiteral("it.bloop.airmail3"),
        QStringLiteral("com.freron.MailMate"),
        // Linux
        QStringLiteral("org.mozilla.Thunderbird"),
        QStringLiteral("net.thunderbird.Thunderbird"),
        QStringLiteral("thunderbird"),
        QStringLiteral("eu.betterbird.Betterbird"),
        QStringLiteral("betterbird"),
        QStringLiteral("org.gnome.Evolution"),
        QStringLiteral("evolution"),
        QStringLiteral("org.gnome.Geary"),
        QStringLiteral("geary"),
        QStringLiteral("org.kde.kmail"),
        QStringLiteral("kmail"),
        QStringLiteral("claws-mail"),
        QStringLiteral("com.getmailspring.Mailspring"),
        QStringLiteral("mailspring"),
        QStringLiteral("sylpheed"),
    };
    return list;
}

const QStringList& AutoSceneResolver::chat()
{
    static const QStringList list {
        QStringLiteral("com.tinyspeck.slackmacgap"),
        QStringLiteral("com.hnc.Discord"),
        QStringLiteral("com.apple.MobileSMS"),
        QStringLiteral("ru.keepcoder.Telegram"),
        QStringLiteral("com.tencent.xinWeChat"),
        QStringLiteral("com.electron.lark"),
        QStringLiteral("com.alibaba.DingTalkMac"),
        // Linux
        QStringLiteral("com.slack.Slack"),
        QStringLiteral("slack"),
        QStringLiteral("com.discordapp.Discord"),
        QStringLiteral("discord"),
        QStringLiteral("org.telegram.desktop"),
        QStringLiteral("telegram"),
        QStringLiteral("org.signal.Signal"),
        QStringLiteral("signal"),
        QStringLiteral("im.riot.Riot"),
        QStringLiteral("element"),
        QStringLiteral("org.gnome.Fractal"),
        QStringLiteral("org.kde.neochat"),
        QStringLiteral("com.tencent.WeChat"),
        QStringLiteral("wechat"),
        QStringLiteral("com.alibabainc.dingtalk"),
        QStringLiteral("dingtalk"),
        QStringLiteral("bytedance-feishu"),
        QStringLiteral("feishu"),
        QStringLiteral("com.skype.Client"),
        QStringLiteral("skype"),
        QStringLiteral("com.github.IsmaelMartinez.teams_for_linux"),
        QStringLiteral("teams-for-linux"),
        QStringLiteral("com.github.eneshecan.WhatsAppForLinux"),
        QStringLiteral("whatsapp"),
        QStringLiteral("org.zulip.Zulip"),
        QStringLiteral("zulip"),
        QStringLiteral("org.gnome.Polari"),
        QStringLiteral("io.github.Hexchat"),
        QStringLiteral("hexchat"),
    };
    return list;
}

const QStringList& AutoSceneResolver::code()
{
    static const QStringList list {
        QStringLiteral("com.apple.dt.Xcode"),
        QStringLiteral("com.microsoft.VSCode"),
        QStringLiteral("com.microsoft.VSCodeInsiders"),
        QStringLiteral("com.jetbrains."),
        QStringLiteral("com.sublimetext."),
        QStringLiteral("com.panic.Nova"),
        QStringLiteral("dev.zed.Zed"),
        QStringLiteral("com.todesktop.230313mzl4w4u92"),
        // Linux
        QStringLiteral("code"),
        QStringLiteral("com.visualstudio.code"),
        QStringLiteral("com.vscodium.codium"),
        QStringLiteral("codium"),
        QStringLiteral("cursor"),
        QStringLiteral("jetbrains-"),
        QStringLiteral("com.google.AndroidStudio"),
        QStringLiteral("sublime_text"),
        QStringLiteral("zed"),
        QStringLiteral("org.gnome.Builder"),
        QStringLiteral("org.kde.kate"),
        QStringLiteral("kate"),
        QStringLiteral("org.kde.kdevelop"),
        QStringLiteral("kdevelop"),
        QStringLiteral("org.qt-project.qtcreator"),
        QStringLiteral("qtcreator"),
        QStringLiteral("org.geany.Geany"),
        QStringLiteral("geany"),
        QStringLiteral("emacs"),
        QStringLiteral("gvim"),
        QStringLiteral("neovide"),
    };
    return list;
}

std::optional<QString> AutoSceneResolver::resolve(const std::optional<QString>& bundleID)
{
    if (!bundleID || bundleID->isEmpty())
        return std::nullopt;
    const auto matches = [&bundleID](const QStringList& prefixes) {
        for (const QString& prefix : prefixes) {
            if (bundleID->startsWith(prefix, Qt::CaseSensitive))
                return true;
        }
        return false;
    };
    if (matches(email()))
        return QStringLiteral("email");
    if (matches(chat()))
        return QStringLiteral("chat");
    if (matches(code()))
        return QStringLiteral("code");
    return std::nullopt;
}

} // namespace vellamor
