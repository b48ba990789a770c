#include "Platform/KeySource/KeyCodeMapping.h"

#include "I18n/L10n.h"

#include <array>
#include <utility>

namespace vellamor::platform {

namespace {

struct KeyPair {
    VirtualKeyCode virtualKey;
    std::uint16_t linuxKey;
};

// Virtual key code, Linux event code. Letters, digits and punctuation by US
// position; "delete" is the key left of the backspace position (Backspace).
constexpr std::array<KeyPair, 78> keyPairs{{
    {0, 30},   {1, 31},   {2, 32},   {3, 33},   {4, 35},   {5, 34},   {6, 44},   {7, 45},   // a s d f h g z x
    {8, 46},   {9, 47},   {11, 48},  {12, 16},  {13, 17},  {14, 18},  {15, 19},  {16, 21},  // c v b q w e r y
    {17, 20},  {18, 2},   {19, 3},   {20, 4},   {21, 5},   {22, 7},   {23, 6},   {24, 13},  // t 1 2 3 4 6 5 =
    {25, 10},  {26, 8},   {27, 12},  {28, 9},   {29, 11},  {30, 27},  {31, 24},  {32, 22},  // 9 7 - 8 0 ] o u
    {33, 26},  {34, 23},  {35, 25},  {36, 28},  {37, 38},  {38, 36},  {39, 40},  {40, 37},  // [ i p return l j ' k
    {41, 39},  {42, 43},  {43, 51},  {44, 53},  {45, 49},  {46, 50},  {47, 52},  {48, 15},  // ; \ , / n m . tab
    {49, 57},  {50, 41},  {51, 14},  {53, 1},                                               // space ` delete escape
    {96, 63},  {97, 64},  {98, 65},  {99, 61},  {100, 66}, {101, 67}, {103, 87}, {109, 68}, // f5 f6 f7 f3 f8 f9 f11 f10
    {111, 88}, {118, 62}, {120, 60}, {122, 59},                                             // f12 f4 f2 f1
    {123, 105}, {124, 106}, {125, 108}, {126, 103}, {114, 110},                             // left right down up insert
    {54, 126}, {55, 125}, {56, 42},  {57, 58},  {58, 56},  {59, 29},  {60, 54},  {61, 100}, // modifiers, caps lock
    {62, 97},
}};

} // namespace

std::optional<std::uint16_t> KeyCodeMapping::linuxKeyCode(VirtualKeyCode key)
{
    for (const auto& pair : keyPairs) {
        if (pair.virtualKey == key)
            return pair.linuxKey;
    }
    return std::nullopt;
}

VirtualKeyCode KeyCodeMapping::virtualKeyCode(std::uint16_t linuxKeyCode)
{
    for (const auto& pair : keyPairs) {
        if (pair.linuxKey == linuxKeyCode)
            return pair.virtualKey;
    }
    return virtualKey::unknown;
}

ModifierFlags KeyCodeMapping::modifierFlags(VirtualKeyCode key)
{
    switch (key) {
    case virtualKey::shift:
    case virtualKey::rightShift:
        return modifierFlag::shift;
    case virtualKey::control:
        return modifierFlag::control;
    case virtualKey::rightControl:
        return modifierFlag::control | modifierFlag::fn;
    case virtualKey::option:
    case virtualKey::rightOption:
        return modifierFlag::option;
    case virtualKey::command:
    case virtualKey::rightCommand:
        return modifierFlag::command;
    default:
        return 0;
    }
}

QString KeyCodeMapping::heldKeyName()
{
    return L10n::Hotkey::heldKey();
}

} // namespace vellamor::platform
