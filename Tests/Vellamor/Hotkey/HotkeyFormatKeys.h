#pragma once

#include "Hotkey/VirtualKeyCode.h"

#include <array>

namespace vellamor::test {

// Every key the stored hotkey format can name: its name there, its code, and
// the X keysym name of that key on a US keyboard.
struct FormatKey {
    const char* name;
    VirtualKeyCode code;
    const char* keysym;
};

inline constexpr std::array<FormatKey, 68> formatKeys{{
    {"a", 0, "a"},           {"b", 11, "b"},          {"c", 8, "c"},           {"d", 2, "d"},
    {"e", 14, "e"},          {"f", 3, "f"},           {"g", 5, "g"},           {"h", 4, "h"},
    {"i", 34, "i"},          {"j", 38, "j"},          {"k", 40, "k"},          {"l", 37, "l"},
    {"m", 46, "m"},          {"n", 45, "n"},          {"o", 31, "o"},          {"p", 35, "p"},
    {"q", 12, "q"},          {"r", 15, "r"},          {"s", 1, "s"},           {"t", 17, "t"},
    {"u", 32, "u"},          {"v", 9, "v"},           {"w", 13, "w"},          {"x", 7, "x"},
    {"y", 16, "y"},          {"z", 6, "z"},           {"0", 29, "0"},          {"1", 18, "1"},
    {"2", 19, "2"},          {"3", 20, "3"},          {"4", 21, "4"},          {"5", 23, "5"},
    {"6", 22, "6"},          {"7", 26, "7"},          {"8", 28, "8"},          {"9", 25, "9"},
    {"space", 49, "space"},  {"return", 36, "Return"}, {"tab", 48, "Tab"},     {"escape", 53, "Escape"},
    {"delete", 51, "BackSpace"}, {"left", 123, "Left"}, {"right", 124, "Right"}, {"up", 126, "Up"},
    {"down", 125, "Down"},   {"f1", 122, "F1"},       {"f2", 120, "F2"},       {"f3", 99, "F3"},
    {"f4", 118, "F4"},       {"f5", 96, "F5"},        {"f6", 97, "F6"},        {"f7", 98, "F7"},
    {"f8", 100, "F8"},       {"f9", 101, "F9"},       {"f10", 109, "F10"},     {"f11", 103, "F11"},
    {"f12", 111, "F12"},     {"-", 27, "minus"},      {"=", 24, "equal"},      {"[", 33, "bracketleft"},
    {"]", 30, "bracketright"}, {";", 41, "semicolon"}, {"'", 39, "apostrophe"}, {",", 43, "comma"},
    {".", 47, "period"},     {"/", 44, "slash"},      {"\\", 42, "backslash"}, {"`", 50, "grave"},
}};

} // namespace vellamor::test
