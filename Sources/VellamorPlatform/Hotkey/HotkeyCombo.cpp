#include "Hotkey/HotkeyCombo.h"

#include "Platform/KeySource/KeyCodeMapping.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <utility>

namespace vellamor {

namespace {

namespace modifierFlag = platform::modifierFlag;

// The keys a combination can name, by the position numbering of the stored format.
constexpr std::array<std::pair<const char*, platform::VirtualKeyCode>, 68> keyNames{{
    {"a", 0},       {"b", 11},     {"c", 8},      {"d", 2},     {"e", 14},   {"f", 3},    {"g", 5},
    {"h", 4},       {"i", 34},     {"j", 38},     {"k", 40},    {"l", 37},   {"m", 46},   {"n", 45},
    {"o", 31},      {"p", 35},     {"q", 12},     {"r", 15},    {"s", 1},    {"t", 17},   {"u", 32},
    {"v", 9},       {"w", 13},     {"x", 7},      {"y", 16},    {"z", 6},    {"0", 29},   {"1", 18},
    {"2", 19},      {"3", 20},     {"4", 21},     {"5", 23},    {"6", 22},   {"7", 26},   {"8", 28},
    {"9", 25},      {"space", 49}, {"return", 36}, {"tab", 48}, {"escape", 53}, {"delete", 51}, {"left", 123},
    {"right", 124}, {"up", 126},   {"down", 125}, {"f1", 122},  {"f2", 120}, {"f3", 99},  {"f4", 118},
    {"f5", 96},     {"f6", 97},    {"f7", 98},    {"f8", 100},  {"f9", 101}, {"f10", 109}, {"f11", 103},
    {"f12", 111},   {"-", 27},     {"=", 24},     {"[", 33},    {"]", 30},   {";", 41},   {"'", 39},
    {",", 43},      {".", 47},     {"/", 44},     {"\\", 42},   {"`", 50},
}};

// Spaces and tabs only: a line break is part of the text.
QString trimmedBlanks(const QString& text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && (text[start] == u' ' || text[start] == u'\t'))
        ++start;
    while (end > start && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.mid(start, end - start);
}

// The modifiers a written combination may name, fn among them.
struct ModifierName {
    const char* name;
    platform::ModifierFlags flag;
    bool fn;
};
constexpr std::array<ModifierName, 8> modifierNames{{
    {"cmd", modifierFlag::command, false},
    {"command", modifierFlag::command, false},
    {"option", modifierFlag::option, false},
    {"alt", modifierFlag::option, false},
    {"shift", modifierFlag::shift, false},
    {"control", modifierFlag::control, false},
    {"ctrl", modifierFlag::control, false},
    {"fn", 0, true},
}};

std::optional<ModifierName> modifierNamed(const QString& token)
{
    for (const ModifierName& modifier : modifierNames) {
        if (token == QLatin1String(modifier.name))
            return modifier;
    }
    return std::nullopt;
}

// In the canonical order of a written combination.
constexpr std::array<std::pair<platform::ModifierFlags, const char*>, 4> modifierTokens{{
    {modifierFlag::command, "cmd"},
    {modifierFlag::option, "option"},
    {modifierFlag::shift, "shift"},
    {modifierFlag::control, "control"},
}};

} // namespace

std::optional<QString> HotkeyCombo::keyName(platform::VirtualKeyCode code)
{
    for (const auto& [keyName, keyCode] : keyNames) {
        if (keyCode == code)
            return QString::fromLatin1(keyName);
    }
    return std::nullopt;
}

std::optional<QString> HotkeyCombo::encode(platform::ModifierFlags modifiers, bool fn,
                                           std::optional<platform::VirtualKeyCode> code)
{
    QStringList tokens;
    for (const auto& [flag, token] : modifierTokens) {
        if (modifiers & flag)
            tokens.append(QLatin1String(token));
    }
    if (fn)
        tokens.append(QStringLiteral("fn"));
    if (code) {
        const std::optional<QString> name = keyName(*code);
        if (!name)
            return std::nullopt;
        tokens.append(*name);
    }
    if (tokens.isEmpty())
        return std::nullopt;
    return tokens.join(u'+');
}

QStringList HotkeyCombo::displayKeycaps(const QString& raw)
{
    QStringList caps;
    for (const QString& token : raw.toLower().split(u'+', Qt::SkipEmptyParts)) {
        if (token == u"cmd" || token == u"command")
            caps.append(QStringLiteral("Super"));
        else if (token == u"option" || token == u"alt")
            caps.append(QStringLiteral("Alt"));
        else if (token == u"shift")
            caps.append(QStringLiteral("Shift"));
        else if (token == u"control" || token == u"ctrl")
            caps.append(QStringLiteral("Ctrl"));
        else if (token == u"fn")
            caps.append(platform::KeyCodeMapping::heldKeyName());
        else
            caps.append(prettyKeyLabel(token));
    }
    return caps;
}

QString HotkeyCombo::prettyKeyLabel(const QString& name)
{
    static const std::array<std::pair<const char*, const char*>, 9> labels{{
        {"space", "Space"},
        {"return", "Return"},
        {"tab", "Tab"},
        {"escape", "Esc"},
        {"delete", "Delete"},
        {"left", "←"},
        {"right", "→"},
        {"up", "↑"},
        {"down", "↓"},
    }};
    for (const auto& [key, label] : labels) {
        if (name == QLatin1String(key))
            return QString::fromUtf8(label);
    }
    return name.toUpper();
}

bool HotkeyCombo::swallowsTyping(const ParsedCombo& combo)
{
    if (combo.modifiers != 0 || combo.fn || !combo.mainName)
        return false;
    return combo.mainName->size() == 1 || *combo.mainName == u"space";
}

std::optional<HotkeyCombo::SetAside> HotkeyCombo::setAside(const QString& raw)
{
    if (raw.isEmpty())
        return std::nullopt;
    if (const std::optional<ParsedCombo> combo = parse(raw))
        return swallowsTyping(*combo) ? std::optional(SetAside::swallowsTyping) : std::nullopt;
    const QStringList tokens = trimmedBlanks(raw.toLower()).split(u'+', Qt::SkipEmptyParts);
    const bool unknownKey = std::any_of(tokens.begin(), tokens.end(), [](const QString& token) {
        return !modifierNamed(token) && !keyCode(token);
    });
    return unknownKey ? SetAside::unknownKey : SetAside::notACombination;
}

std::optional<platform::VirtualKeyCode> HotkeyCombo::keyCode(const QString& name)
{
    for (const auto& [keyName, code] : keyNames) {
        if (name == QLatin1String(keyName))
            return code;
    }
    return std::nullopt;
}

std::optional<ParsedCombo> HotkeyCombo::parse(const QString& raw)
{
    const QString text = trimmedBlanks(raw.toLower());
    if (text.isEmpty())
        return std::nullopt;
    const QStringList tokens = text.split(u'+', Qt::SkipEmptyParts);
    if (tokens.isEmpty())
        return std::nullopt;

    platform::ModifierFlags modifiers = 0;
    bool fn = false;
    std::optional<QString> mainKey;
    for (const QString& token : tokens) {
        if (const std::optional<ModifierName> modifier = modifierNamed(token)) {
            modifiers |= modifier->flag;
            fn = fn || modifier->fn;
        } else if (mainKey) {
            return std::nullopt;
        } else {
            mainKey = token;
        }
    }
    if (!mainKey) {
        if (fn && modifiers == 0)
            return ParsedCombo{std::nullopt, 0, true, std::nullopt};
        return std::nullopt;
    }
    const std::optional<platform::VirtualKeyCode> code = keyCode(*mainKey);
    if (!code)
        return std::nullopt;
    return ParsedCombo{code, modifiers, fn, mainKey};
}

} // namespace vellamor
