#pragma once

#include "Overlay/IslandShape.h"

#include <QColor>
#include <QSizeF>

#include <ostream>

inline void PrintTo(const QSizeF& size, std::ostream* os)
{
    *os << size.width() << " x " << size.height();
}

inline void PrintTo(const QColor& color, std::ostream* os)
{
    *os << color.name(QColor::HexArgb).toStdString();
}

namespace vellamor {

inline void PrintTo(const IslandShape& shape, std::ostream* os)
{
    *os << shape.debugDescription().toStdString();
}

} // namespace vellamor
