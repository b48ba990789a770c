#pragma once

#include "Settings/UserDefaults.h"

#include <QString>

#include <functional>
#include <memory>

namespace vellamor {

// The user-defaults flags of text insertion. Nothing in the application
// writes them; a user may, by hand.
class InsertionPreferences {
public:
    static QString preferKeyboardOverAXKey() { return QStringLiteral("preferKeyboardOverAX"); }

    // Reads "preferKeyboardOverAX" (absent = false) from `defaults` at every
    // call, so a change applies to the next insertion.
    static std::function<bool()> preferKeyboardOverAX(std::shared_ptr<UserDefaults> defaults);
};

} // namespace vellamor
