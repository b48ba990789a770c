#include "TextInsertion/InsertionPreferences.h"

namespace vellamor {

std::function<bool()> InsertionPreferences::preferKeyboardOverAX(std::shared_ptr<UserDefaults> defaults)
{
    return [defaults = std::move(defaults)] { return defaults && defaults->boolValue(preferKeyboardOverAXKey()); };
}

} // namespace vellamor
