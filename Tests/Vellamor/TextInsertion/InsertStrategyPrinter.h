#pragma once

#include "TextInsertion/InsertStrategy.h"

#include <ostream>

namespace vellamor {

// Found by GoogleTest through argument-dependent lookup.
inline void PrintTo(InsertStrategy strategy, std::ostream* os)
{
    *os << rawValue(strategy).toStdString();
}

} // namespace vellamor
