#include "HotkeyFormatKeys.h"

#include "Hotkey/KeyCodeMapping.h"

#include <gmock/gmock.h>

#include <set>

namespace vellamor::test {
namespace {

TEST(KeyCodeMapping, EveryFormatKeyHasItsOwnLinuxCodeAndMapsBack)
{
    std::set<std::uint16_t> linuxCodes;
    for (const auto& key : formatKeys) {
        SCOPED_TRACE(key.name);
        const auto linuxCode = KeyCodeMapping::linuxKeyCode(key.code);
        ASSERT_TRUE(linuxCode.has_value());
        EXPECT_TRUE(linuxCodes.insert(*linuxCode).second) << "shared Linux code " << *linuxCode;
        EXPECT_EQ(KeyCodeMapping::virtualKeyCode(*linuxCode), key.code);
        EXPECT_FALSE(KeyCodeMapping::isModifier(key.code));
    }
}

TEST(KeyCodeMapping, ModifierKeysSetTheirFlagsAndRightCtrlIsTheHeldKey)
{
    struct Row {
        VirtualKeyCode key;
        ModifierFlags flags;
    };
    const Row rows[] = {
        {virtualKey::shift, modifierFlag::shift},
        {virtualKey::rightShift, modifierFlag::shift},
        {virtualKey::control, modifierFlag::control},
        {virtualKey::rightControl, modifierFlag::control | modifierFlag::fn},
        {virtualKey::option, modifierFlag::option},
        {virtualKey::rightOption, modifierFlag::option},
        {virtualKey::command, modifierFlag::command},
        {virtualKey::rightCommand, modifierFlag::command},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        const auto linuxCode = KeyCodeMapping::linuxKeyCode(row.key);
        ASSERT_TRUE(linuxCode.has_value());
        EXPECT_EQ(KeyCodeMapping::virtualKeyCode(*linuxCode), row.key);
        EXPECT_EQ(KeyCodeMapping::modifierFlags(row.key), row.flags);
    }
    EXPECT_EQ(KeyCodeMapping::heldKey, virtualKey::rightControl);
    EXPECT_FALSE(KeyCodeMapping::isModifier(virtualKey::capsLock));
}

TEST(KeyCodeMapping, KeysOutsideTheMapping)
{
    EXPECT_FALSE(KeyCodeMapping::linuxKeyCode(10).has_value());  // ISO section key
    EXPECT_FALSE(KeyCodeMapping::linuxKeyCode(63).has_value());  // Fn: never reaches X11
    EXPECT_FALSE(KeyCodeMapping::linuxKeyCode(virtualKey::unknown).has_value());
    EXPECT_EQ(KeyCodeMapping::virtualKeyCode(69), virtualKey::unknown);  // Num Lock
    EXPECT_EQ(KeyCodeMapping::virtualKeyCode(0), virtualKey::unknown);
    EXPECT_EQ(KeyCodeMapping::modifierFlags(virtualKey::unknown), 0u);
}

} // namespace
} // namespace vellamor::test
