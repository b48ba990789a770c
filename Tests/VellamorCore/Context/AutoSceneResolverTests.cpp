#include "Context/AutoSceneResolver.h"

#include <gtest/gtest.h>

#include <optional>

using vellamor::AutoSceneResolver;

namespace {

struct SceneCase {
    std::optional<QString> bundleID;
    std::optional<QString> scene;
};

std::optional<QString> s(const char* text)
{
    return QString::fromUtf8(text);
}

void expectScenes(const std::vector<SceneCase>& cases)
{
    for (const auto& c : cases) {
        const std::optional<QString> scene = AutoSceneResolver::resolve(c.bundleID);
        EXPECT_EQ(scene, c.scene) << (c.bundleID ? c.bundleID->toStdString() : std::string("<none>"));
    }
}

} // namespace

TEST(AutoSceneResolver, MacBundleIdentifiers)
{
    expectScenes({
        {std::nullopt, std::nullopt},
        {s(""), std::nullopt},
        {s("com.apple.mail"), s("email")},
        {s("com.apple.mail.composer"), s("email")},
        {s("com.apple.Mail"), std::nullopt},
        {s("com.microsoft.Outlook"), s("email")},
        {s("com.microsoft.VSCodeInsiders"), s("code")},
        {s("com.jetbrains.pycharm"), s("code")},
        {s("com.jetbrains"), std::nullopt},
        {s("com.sublimetext.4"), s("code")},
        {s("com.sublimetext"), std::nullopt},
        {s("com.apple.MobileSMS"), s("chat")},
        {s("com.apple.Safari"), std::nullopt},
        {s(" com.apple.mail"), std::nullopt},
    });
}

// Every listed prefix is checked below; these are the two kinds of Linux
// identifier and the near misses around them.
TEST(AutoSceneResolver, LinuxDesktopIdsAndWindowClasses)
{
    expectScenes({
        {s("org.mozilla.Thunderbird"), s("email")},
        {s("org.telegram.desktop"), s("chat")},
        {s("com.jetbrains.IntelliJ-IDEA-Community"), s("code")},
        {s("org.gnome.TextEditor"), std::nullopt},
        {s("firefox"), std::nullopt},
        {s("thunderbird"), s("email")},
        {s("telegramdesktop"), s("chat")},
        {s("code-oss"), s("code")},
        {s("sublime_text"), s("code")},
        // the comparison stays case-sensitive
        {s("Thunderbird"), std::nullopt},
        {s("Code"), std::nullopt},
        {s("org.mozilla.thunderbird"), std::nullopt},
    });
}

// An entry that an earlier rule also matches would never give its own scene.
TEST(AutoSceneResolver, EveryPrefixResolvesToTheSceneOfItsOwnList)
{
    const std::pair<const QStringList&, QString> lists[] = {
        {AutoSceneResolver::email(), QStringLiteral("email")},
        {AutoSceneResolver::chat(), QStringLiteral("chat")},
        {AutoSceneResolver::code(), QStringLiteral("code")},
    };
    for (const auto& [prefixes, scene] : lists) {
        for (const QString& prefix : prefixes)
            EXPECT_EQ(AutoSceneResolver::resolve(prefix), scene) << prefix.toStdString();
    }
}
