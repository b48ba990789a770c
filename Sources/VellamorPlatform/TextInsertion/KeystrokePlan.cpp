#include "TextInsertion/KeystrokePlan.h"

#include <algorithm>
#include <map>
#include <set>

namespace vellamor {

namespace {

using platform::InjectedKey;
using platform::SpecialKey;

// One character of the text: a key of the layout, or a character that needs
// a mapping.
struct Unit {
    std::optional<InjectedKey> key;
    char32_t mapped = 0;
};

std::optional<std::vector<Unit>> units(const QString& text, const KeystrokePlan::Layout& layout)
{
    std::vector<Unit> result;
    const auto codePoints = text.toUcs4();
    for (qsizetype i = 0; i < codePoints.size(); ++i) {
        const auto character = static_cast<char32_t>(codePoints.at(i));
        std::optional<SpecialKey> special;
        if (character == U'\r') {
            if (i + 1 < codePoints.size() && codePoints.at(i + 1) == U'\n')
                ++i;
            special = SpecialKey::enter;
        } else if (character == U'\n') {
            special = SpecialKey::enter;
        } else if (character == U'\t') {
            special = SpecialKey::tab;
        }
        if (special) {
            const auto key = layout.keyForSpecial ? layout.keyForSpecial(*special) : std::nullopt;
            if (!key)
                return std::nullopt;
            result.push_back({key, 0});
            continue;
        }
        const auto key = layout.keyForCharacter ? layout.keyForCharacter(character) : std::nullopt;
        result.push_back(key ? Unit{key, 0} : Unit{std::nullopt, character});
    }
    return result;
}

} // namespace

std::optional<KeystrokePlan> KeystrokePlan::make(const QString& text, const Layout& layout, int batchSize)
{
    auto typed = units(text, layout);
    if (!typed)
        return std::nullopt;

    std::vector<InjectedKey> keySlots;
    for (const bool shift : {false, true}) {
        for (int keyCode : layout.spareKeyCodes)
            keySlots.push_back({keyCode, shift});
    }
    const bool needsMapping = std::any_of(typed->begin(), typed->end(), [](const Unit& u) { return !u.key; });
    const int capacity = std::min<int>(std::max(batchSize, 0), static_cast<int>(keySlots.size()));
    if (needsMapping && capacity == 0)
        return std::nullopt;

    KeystrokePlan plan;
    std::map<char32_t, InjectedKey> current;
    std::set<int> used;
    for (std::size_t i = 0; i < typed->size(); ++i) {
        const Unit& unit = (*typed)[i];
        if (unit.key) {
            plan.steps_.push_back({Step::Kind::press, {}, *unit.key});
            ++plan.characterCount_;
            continue;
        }
        if (!current.contains(unit.mapped)) {
            // The next batch: the distinct unmapped characters from here on,
            // as many as there are slots.
            current.clear();
            std::map<int, platform::KeyMapping> byKeyCode;
            for (std::size_t j = i; j < typed->size() && static_cast<int>(current.size()) < capacity; ++j) {
                const Unit& ahead = (*typed)[j];
                if (ahead.key || current.contains(ahead.mapped))
                    continue;
                const InjectedKey slot = keySlots[current.size()];
                current.emplace(ahead.mapped, slot);
                auto& mapping = byKeyCode[slot.keyCode];
                mapping.keyCode = slot.keyCode;
                (slot.shift ? mapping.shifted : mapping.plain) = ahead.mapped;
                used.insert(slot.keyCode);
            }
            Step map{Step::Kind::map, {}, {}};
            for (const auto& [keyCode, mapping] : byKeyCode)
                map.mapping.push_back(mapping);
            const bool first = std::none_of(plan.steps_.begin(), plan.steps_.end(),
                                            [](const Step& s) { return s.kind == Step::Kind::map; });
            plan.steps_.insert(first ? plan.steps_.begin() : plan.steps_.end(), std::move(map));
        }
        plan.steps_.push_back({Step::Kind::press, {}, current.at(unit.mapped)});
        ++plan.characterCount_;
    }
    if (!used.empty()) {
        Step clear{Step::Kind::map, {}, {}};
        for (int keyCode : used)
            clear.mapping.push_back({keyCode, 0, 0});
        plan.steps_.push_back(std::move(clear));
    }
    return plan;
}

} // namespace vellamor
