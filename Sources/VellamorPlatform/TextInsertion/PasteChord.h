#pragma once

#include <QStringList>

namespace vellamor {

// The keys that paste in the active window. Terminals leave Ctrl+V to the
// program running in them (it arrives there as ^V), so terminal emulators
// paste the clipboard with Ctrl+Shift+V, except the xterm family, which binds
// no such chord and pastes the primary selection with Shift+Insert (the
// paste sets both selections).
class PasteChord {
public:
    enum class Kind { controlV, controlShiftV, shiftInsert };

    // From the window's instance and class names (either may match,
    // whatever the case).
    static Kind forWindowClass(const QStringList& names);
};

} // namespace vellamor
