#pragma once

#include <functional>

namespace vellamor::platform {

// The desktop's light or dark preference.
enum class ColorScheme { noPreference, dark, light };

// Where the desktop's preference is read. Main thread only.
class ColorSchemeSource {
public:
    virtual ~ColorSchemeSource() = default;

    // As last heard; noPreference until the desktop has answered.
    virtual ColorScheme current() const = 0;
    // Called with each new preference, on the main thread.
    virtual void setOnChange(std::function<void(ColorScheme)> onChange) = 0;
};

} // namespace vellamor::platform
