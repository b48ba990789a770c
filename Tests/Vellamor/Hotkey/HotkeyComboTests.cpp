#include "HotkeyTestEvents.h"

#include "Hotkey/HotkeyCombo.h"
#include "I18n/LocaleResolver.h"

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

TEST(HotkeyComboTest, ReadsTheStoredTextLenientlyAndRefusesWhatNamesNoSingleKnownKey)
{
    const ModifierFlags ctrlShift = modifierFlag::control | modifierFlag::shift;
    const struct {
        QString text;
        std::optional<ParsedCombo> expected;
    } cases[] = {
        { QStringLiteral("cmd+shift+k"), ParsedCombo { virtualKey::k, cmdShift, false, QStringLiteral("k") } },
        { QStringLiteral("  Shift+CTRL++space\t"),
            ParsedCombo { virtualKey::space, ctrlShift, false, QStringLiteral("space") } },
        { QStringLiteral("alt+fn+f5"), ParsedCombo { 96, modifierFlag::option, true, QStringLiteral("f5") } },
        { QStringLiteral("command+\\"), ParsedCombo { 42, modifierFlag::command, false, QStringLiteral("\\") } },
        { QStringLiteral("fn"), ParsedCombo { std::nullopt, 0, true, std::nullopt } },
        { QStringLiteral("a"), ParsedCombo { virtualKey::a, 0, false, QStringLiteral("a") } },
        { QStringLiteral("cmd+fn"), std::nullopt },
        { QStringLiteral("ctrl+shift"), std::nullopt },
        { QStringLiteral("cmd+a+b"), std::nullopt },
        { QStringLiteral("ctrl+f13"), std::nullopt },
        { QStringLiteral("ctrl+k\n"), std::nullopt },
        { QStringLiteral(" + "), std::nullopt },
        { QString(), std::nullopt },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(HotkeyCombo::parse(c.text), c.expected);
    }
}

TEST(HotkeyComboTest, WritesTheCanonicalTextThatReadsBackToTheSameCombination)
{
    const ModifierFlags all = modifierFlag::command | modifierFlag::option | modifierFlag::shift | modifierFlag::control;
    const struct {
        ModifierFlags modifiers;
        bool fn;
        std::optional<VirtualKeyCode> key;
        std::optional<QString> expected;
    } cases[] = {
        { modifierFlag::command | modifierFlag::control | modifierFlag::fn, true, 49,
            QStringLiteral("cmd+control+fn+space") },
        { all | 0x10000 | 0x800000, false, 111, QStringLiteral("cmd+option+shift+control+f12") },
        { modifierFlag::command, false, 200, std::nullopt },
        { 0, false, std::nullopt, std::nullopt },
        { 0, true, std::nullopt, QStringLiteral("fn") },
        { modifierFlag::shift, false, std::nullopt, QStringLiteral("shift") },
    };
    for (const auto& c : cases)
        EXPECT_EQ(HotkeyCombo::encode(c.modifiers, c.fn, c.key), c.expected);
    EXPECT_EQ(HotkeyCombo::parse(QStringLiteral("shift")), std::nullopt);

    // Every key under every set of the five tokens survives the round trip.
    int keys = 0;
    for (VirtualKeyCode code = 0; code < 256; ++code) {
        if (!HotkeyCombo::keyName(code))
            continue;
        ++keys;
        for (ModifierFlags bits = 0; bits < 32; ++bits) {
            const ModifierFlags modifiers = (bits & 1 ? modifierFlag::command : 0) | (bits & 2 ? modifierFlag::option : 0)
                | (bits & 4 ? modifierFlag::shift : 0) | (bits & 8 ? modifierFlag::control : 0);
            const std::optional<QString> text = HotkeyCombo::encode(modifiers, bits & 16, code);
            ASSERT_TRUE(text);
            const std::optional<ParsedCombo> parsed = HotkeyCombo::parse(*text);
            ASSERT_TRUE(parsed) << text->toStdString();
            EXPECT_EQ(parsed->keyCode, code);
            EXPECT_EQ(parsed->modifiers, modifiers);
            EXPECT_EQ(parsed->fn, (bits & 16) != 0);
        }
    }
    EXPECT_EQ(keys, 68);
}

// The keys as this desktop's keyboards label them; the held key in the
// interface language.
TEST(HotkeyComboTest, ShowsOneKeycapPerTokenAsWritten)
{
    const struct {
        const char* language;
        QString text;
        QStringList caps;
    } cases[] = {
        { "zh", QStringLiteral("cmd+shift+left"),
            { QStringLiteral("Super"), QStringLiteral("Shift"), QStringLiteral("←") } },
        { "zh", QStringLiteral("ctrl+fn+escape"),
            { QStringLiteral("Ctrl"), QStringLiteral("右 Ctrl"), QStringLiteral("Esc") } },
        { "en", QStringLiteral("ctrl+fn+escape"),
            { QStringLiteral("Ctrl"), QStringLiteral("Right Ctrl"), QStringLiteral("Esc") } },
        { "zh", QStringLiteral("shift+cmd+a"),
            { QStringLiteral("Shift"), QStringLiteral("Super"), QStringLiteral("A") } },
        { "zh", QStringLiteral("Alt+command++space+tab+return+delete+up+down+right"),
            { QStringLiteral("Alt"), QStringLiteral("Super"), QStringLiteral("Space"), QStringLiteral("Tab"),
                QStringLiteral("Return"), QStringLiteral("Delete"), QStringLiteral("↑"), QStringLiteral("↓"),
                QStringLiteral("→") } },
        { "zh", QStringLiteral("option+control+fn"),
            { QStringLiteral("Alt"), QStringLiteral("Ctrl"), QStringLiteral("右 Ctrl") } },
        { "zh", QStringLiteral(" f12+[+foo"), { QStringLiteral(" F12"), QStringLiteral("["), QStringLiteral("FOO") } },
        { "zh", QString(), {} },
    };
    for (const auto& c : cases) {
        LocaleResolver::shared().setLanguage(QString::fromUtf8(c.language));
        EXPECT_EQ(HotkeyCombo::displayKeycaps(c.text), c.caps) << c.text.toStdString();
    }
    LocaleResolver::shared().setLanguage(QStringLiteral("auto"));
}

TEST(HotkeyComboTest, OnlyABareCharacterKeyWouldSwallowTyping)
{
    const struct {
        const char* text;
        bool swallows;
    } cases[] = {
        {"a", true}, {"5", true}, {"space", true}, {"\\", true}, {"f5", false}, {"escape", false},
        {"left", false}, {"shift+a", false}, {"fn+a", false}, {"fn", false},
    };
    for (const auto& c : cases) {
        const std::optional<ParsedCombo> combo = HotkeyCombo::parse(QString::fromUtf8(c.text));
        ASSERT_TRUE(combo) << c.text;
        EXPECT_EQ(HotkeyCombo::swallowsTyping(*combo), c.swallows) << c.text;
    }
}

} // namespace
} // namespace vellamor::test
