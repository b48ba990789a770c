#include "QtPrinters.h"

#include "FrontmostApp/FrontmostAppResolver.h"

#include <gmock/gmock.h>

namespace vellamor::test {
namespace {

using platform::WindowIdentity;

WindowIdentity windowOf(const char* instance, const char* className, const char* gtk = "", const char* kde = "")
{
    return WindowIdentity {QString::fromUtf8(gtk), QString::fromUtf8(kde), QString::fromUtf8(instance),
                           QString::fromUtf8(className)};
}

DesktopEntry entry(const char* id, const char* startupWMClass = "", bool noDisplay = false)
{
    return DesktopEntry {QString::fromUtf8(id), QString::fromUtf8(startupWMClass), noDisplay};
}

const QList<DesktopEntry> installed {
    entry("code-url-handler", "Code", true),
    entry("code", "Code"),
    entry("com.slack.Slack", "Slack"),
    entry("firefox-esr"),
    entry("org.gnome.Geary"),
    entry("thunderbird", "thunderbird"),
};

TEST(FrontmostAppResolver, TakesTheFirstIdentifierTheWindowOffers)
{
    struct Case {
        const char* name;
        WindowIdentity window;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"GTK application id first", windowOf("geary", "Geary", "org.gnome.Geary", "other"),
         QStringLiteral("org.gnome.Geary")},
        {"KDE desktop file next", windowOf("kate", "kate", "", "org.kde.kate"), QStringLiteral("org.kde.kate")},
        {"KDE desktop file given as a path",
         windowOf("kate", "kate", "", "/usr/share/applications/org.kde.kate.desktop"),
         QStringLiteral("org.kde.kate")},
        {"KDE id that ends in .desktop kept whole", windowOf("telegram", "TelegramDesktop", "", "org.telegram.desktop"),
         QStringLiteral("org.telegram.desktop")},
        {"StartupWMClass matches the class", windowOf("slack", "Slack"), QStringLiteral("com.slack.Slack")},
        {"StartupWMClass matches the instance", windowOf("thunderbird", "Mail"), QStringLiteral("thunderbird")},
        {"menu entries before helper entries", windowOf("code", "Code"), QStringLiteral("code")},
        {"desktop id equal to the instance, case ignored", windowOf("Navigator", "Firefox-esr"),
         QStringLiteral("firefox-esr")},
        {"the lower-cased class otherwise", windowOf("xterm", "XTerm"), QStringLiteral("xterm")},
        {"the instance when there is no class", windowOf("Sylpheed", ""), QStringLiteral("sylpheed")},
        {"nothing to go by", windowOf("", ""), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FrontmostAppResolver::applicationId(c.window, [] { return installed; }), c.expected);
    }
}

TEST(FrontmostAppResolver, ReadsInstalledApplicationsOnlyWhenTheWindowNamesNone)
{
    int reads = 0;
    const auto entries = [&reads] {
        ++reads;
        return installed;
    };
    FrontmostAppResolver::applicationId(windowOf("geary", "Geary", "org.gnome.Geary"), entries);
    FrontmostAppResolver::applicationId(windowOf("kate", "kate", "", "org.kde.kate"), entries);
    FrontmostAppResolver::applicationId(windowOf("", ""), entries);
    EXPECT_EQ(reads, 0);
    FrontmostAppResolver::applicationId(windowOf("slack", "Slack"), entries);
    EXPECT_EQ(reads, 1);
}

} // namespace
} // namespace vellamor::test
