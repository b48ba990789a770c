#pragma once

#include <QString>

namespace vellamor {

// The core module's identity, logged by the application at launch.
struct VellamorCore {
    static QString version() { return QStringLiteral("0.1.0"); }
};

} // namespace vellamor
