#include "HotkeyTestEvents.h"

#include "Hotkey/HotkeyCombo.h"

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

} // namespace
} // namespace vellamor::test
