#include "Context/AutoSceneResolver.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <optional>

using vellamor::AutoSceneResolver;

namespace {

std::optional<QString> s(const char* text)
{
    return QString::fromUtf8(text);
}

} // namespace

// Bundle identifiers, Linux desktop ids and window classes, and the near
// misses around them: the comparison is a case-sensitive prefix match.
TEST(AutoSceneResolver, SceneOfAnApplication)
{
    const struct {
        std::optional<QString> application;
        std::optional<QString> scene;
    } cases[] = {
        {std::nullopt, std::nullopt},
        {s(""), std::nullopt},
        {s("com.apple.mail"), s("email")},
        {s("com.apple.mail.composer"), s("email")},
        {s("com.apple.Mail"), std::nullopt},
        {s(" com.apple.mail"), std::nullopt},
        {s("com.jetbrains.pycharm"), s("code")},
        {s("com.jetbrains"), std::nullopt},
        {s("com.sublimetext"), std::nullopt},
        {s("com.apple.Safari"), std::nullopt},
        {s("org.mozilla.thunderbird"), std::nullopt},
        {s("com.jetbrains.IntelliJ-IDEA-Community"), s("code")},
        {s("org.gnome.TextEditor"), std::nullopt},
        {s("firefox"), std::nullopt},
        {s("Thunderbird"), std::nullopt},
        {s("telegramdesktop"), s("chat")},
        {s("code-oss"), s("code")},
        {s("Code"), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.application ? c.application->toStdString() : std::string("<none>"));
        EXPECT_EQ(AutoSceneResolver::resolve(c.application), c.scene);
    }
}

// An entry that an earlier list also matches would never give its own scene.
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
