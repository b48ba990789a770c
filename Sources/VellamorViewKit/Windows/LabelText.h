#pragma once

#include <QString>

namespace vellamor {

// A text shown on a button or a menu entry exactly as written: Qt takes an
// "&" there for the mark of a shortcut letter and hides it.
inline QString literalLabel(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace vellamor
