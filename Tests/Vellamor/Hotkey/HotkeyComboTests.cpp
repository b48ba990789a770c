#include "HotkeyTestEvents.h"

#include "Hotkey/HotkeyCombo.h"
#include "I18n/LocaleResolver.h"

#include <gtest/gtest.h>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;

TEST(HotkeyComboTest, ReadsTheStoredTextLenientlyAndRefusesWhatNamesNoSingleKnownKey)
{
    const ModifierFlags ctrlShift = modifierFlag::control | modifierFlag::shift;
    const struct {
        QString text;
        std::optional<ParsedCombo> expected;
    } cases[] = {
        {u"cmd+shift+k"_s, ParsedCombo{virtualKey::k, cmdShift, false, u"k"_s}},
        {u"  Shift+CTRL++space\t"_s, ParsedCombo{virtualKey::space, ctrlShift, false, u"space"_s}},
        {u"alt+fn+f5"_s, ParsedCombo{96, modifierFlag::option, true, u"f5"_s}},
        {u"command+\\"_s, ParsedCombo{42, modifierFlag::command, false, u"\\"_s}},
        {u"fn"_s, ParsedCombo{std::nullopt, 0, true, std::nullopt}},
        {u"a"_s, ParsedCombo{virtualKey::a, 0, false, u"a"_s}},
        {u"cmd+fn"_s, std::nullopt},
        {u"ctrl+shift"_s, std::nullopt},
        {u"cmd+a+b"_s, std::nullopt},
        {u"ctrl+f13"_s, std::nullopt},
        {u"ctrl+k\n"_s, std::nullopt},
        {u" + "_s, std::nullopt},
        {QString(), std::nullopt},
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
        {modifierFlag::command | modifierFlag::control | modifierFlag::fn, true, 49, u"cmd+control+fn+space"_s},
        {all | 0x10000 | 0x800000, false, 111, u"cmd+option+shift+control+f12"_s},
        {modifierFlag::command, false, 200, std::nullopt},
        {0, false, std::nullopt, std::nullopt},
        {0, true, std::nullopt, u"fn"_s},
        {modifierFlag::shift, false, std::nullopt, u"shift"_s},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HotkeyCombo::encode(c.modifiers, c.fn, c.key), c.expected);
    EXPECT_EQ(HotkeyCombo::parse(u"shift"_s), std::nullopt);

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
        {"zh", u"cmd+shift+left"_s, {u"Super"_s, u"Shift"_s, u"←"_s}},
        {"zh", u"ctrl+fn+escape"_s, {u"Ctrl"_s, u"右 Ctrl"_s, u"Esc"_s}},
        {"en", u"ctrl+fn+escape"_s, {u"Ctrl"_s, u"Right Ctrl"_s, u"Esc"_s}},
        {"zh", u"shift+cmd+a"_s, {u"Shift"_s, u"Super"_s, u"A"_s}},
        {"zh", u"Alt+command++space+tab+return+delete+up+down+right"_s,
         {u"Alt"_s, u"Super"_s, u"Space"_s, u"Tab"_s, u"Return"_s, u"Delete"_s, u"↑"_s, u"↓"_s, u"→"_s}},
        {"zh", u"option+control+fn"_s, {u"Alt"_s, u"Ctrl"_s, u"右 Ctrl"_s}},
        {"zh", u" f12+[+foo"_s, {u" F12"_s, u"["_s, u"FOO"_s}},
        {"zh", QString(), {}},
    };
    for (const auto& c : cases) {
        LocaleResolver::shared().setLanguage(QString::fromUtf8(c.language));
        EXPECT_EQ(HotkeyCombo::displayKeycaps(c.text), c.caps) << c.text.toStdString();
    }
    LocaleResolver::shared().setLanguage(u"auto"_s);
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
