#pragma once

#include "Settings/UserDefaults.h"

#include <QString>

#include <functional>
#include <memory>

namespace vellamor {

// The user-defaults flags of text insertion. The app has no control for them:
// they are set by hand in the defaults file.
class InsertionPreferences {
public:
    static QString preferKeyboardOverAXKey() { return QStringLiteral("preferKeyboardOverAX"); }

    // Reads "preferKeyboardOverAX" (absent = false) from `defaults` at every
    // call, so a change applies to the next insertion.
    static std::function<bool()> preferKeyboardOverAX(std::shared_ptr<UserDefaults> defaults);
};

} // namespace vellamor
