#pragma once

#include <QStringList>

#include <array>

namespace vellamor {

// Whether one of a window's instance and class names is among `known`,
// whatever the case.
template<std::size_t N>
bool isNamedAnyOf(const QStringList& names, const std::array<const char*, N>& known)
{
    for (const QString& name : names) {
        for (const char* candidate : known) {
            if (name.compare(QLatin1String(candidate), Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

} // namespace vellamor
