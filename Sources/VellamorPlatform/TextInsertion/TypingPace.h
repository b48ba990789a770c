#pragma once

#include <QStringList>

namespace vellamor {

// Applications that take synthetic keys out of order at the usual pace.
// LibreOffice routes characters outside the keyboard layout (emoji among
// them) through a slower path than Enter and the layout's own keys, so at
// 2 ms per key emoji and line breaks swap places; from 20 ms per key on
// they arrive in order.
class TypingPace {
public:
    // From the window's instance and class names (either may match,
    // whatever the case).
    static bool needsSlowPace(const QStringList& names);
};

} // namespace vellamor
