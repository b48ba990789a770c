#pragma once

#include "Platform/KeyInjection/KeyInjector.h"

#include <QString>

#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace vellamor {

// The key events that type a text. Characters of the active layout are typed
// on their own keys. The others are typed on spare key codes that are
// temporarily given those characters, a batch of distinct characters at a
// time; the plan remaps only when a character outside the current batch
// comes up. Every mapping change costs settle time and risks a slow
// application reading keys with the wrong mapping, so a batch fills every
// spare key code, alone and then with Shift (a keymap usually leaves about
// twenty free), and the first batch is mapped before any key is typed, while
// the application has no keys queued. A final step empties every spare key
// code it used.
//
// "\n", "\r" and "\r\n" type Enter, "\t" types Tab.
class KeystrokePlan {
public:
    struct Step {
        enum class Kind { map, press };

        Kind kind = Kind::press;
        // map: key codes with their new characters.
        std::vector<platform::KeyMapping> mapping;
        // press: the key for one character of the text.
        platform::InjectedKey key;

        friend bool operator==(const Step&, const Step&) = default;
    };

    struct Layout {
        std::function<std::optional<platform::InjectedKey>(char32_t)> keyForCharacter;
        std::function<std::optional<platform::InjectedKey>(platform::SpecialKey)> keyForSpecial;
        std::vector<int> spareKeyCodes;
    };

    // None when some character cannot be typed at all (no spare key code,
    // or no key for Enter or Tab); nothing is typed then. A batch holds at
    // most `batchSize` characters.
    static std::optional<KeystrokePlan> make(const QString& text, const Layout& layout,
                                             int batchSize = std::numeric_limits<int>::max());

    const std::vector<Step>& steps() const { return steps_; }
    // How many press steps there are: one per character typed.
    int characterCount() const { return characterCount_; }

private:
    std::vector<Step> steps_;
    int characterCount_ = 0;
};

} // namespace vellamor
