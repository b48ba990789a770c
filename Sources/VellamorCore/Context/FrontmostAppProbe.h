#pragma once

#include "Context/FrontmostAppInfo.h"

namespace vellamor {

// Tells which application is in front, implemented by the platform.
class FrontmostAppProbe {
public:
    virtual ~FrontmostAppProbe() = default;

    // Synchronous and never failing; asked just before a session starts.
    virtual FrontmostAppInfo current() = 0;
};

} // namespace vellamor
