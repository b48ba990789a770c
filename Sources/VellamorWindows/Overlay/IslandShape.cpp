#include "Overlay/IslandShape.h"

#include <QString>

namespace vellamor {

namespace {

constexpr double pillHeight = 32;

QSizeF fixedSize(IslandShape::Kind kind)
{
    switch (kind) {
    case IslandShape::Kind::hidden:
        return {110, 26};
    case IslandShape::Kind::done:
        return {164, 32};
    case IslandShape::Kind::cancelled:
        return {160, 32};
    case IslandShape::Kind::warn:
        return {280, 32};
    case IslandShape::Kind::failed:
        return {260, 32};
    case IslandShape::Kind::pill:
    case IslandShape::Kind::expanded:
        break;
    }
    return {};
}

} // namespace

QSizeF IslandShape::panelSize() const
{
    switch (kind_) {
    case Kind::pill:
        return {width_, pillHeight};
    case Kind::expanded:
        return {width_, height_};
    default:
        return fixedSize(kind_);
    }
}

QString IslandShape::debugDescription() const
{
    switch (kind_) {
    case Kind::pill:
        return QStringLiteral("pill(%1)").arg(width_);
    case Kind::expanded:
        return QStringLiteral("expanded(%1, %2)").arg(width_).arg(height_);
    case Kind::hidden:
        return QStringLiteral("hidden");
    case Kind::done:
        return QStringLiteral("done");
    case Kind::cancelled:
        return QStringLiteral("cancelled");
    case Kind::warn:
        return QStringLiteral("warn");
    case Kind::failed:
        return QStringLiteral("failed");
    }
    return {};
}

} // namespace vellamor
