#include "Hotkey/HotkeyEvent.h"

namespace vellamor {

QString HotkeyEvent::description() const
{
    switch (kind_) {
    case Kind::toggled:
        return on_ ? QStringLiteral("toggled(true)") : QStringLiteral("toggled(false)");
    case Kind::pressed:
        return QStringLiteral("pressed");
    case Kind::released:
        return QStringLiteral("released");
    }
    return {};
}

} // namespace vellamor
