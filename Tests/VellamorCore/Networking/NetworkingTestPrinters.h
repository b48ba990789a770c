#pragma once

#include "Support/Error.h"

#include <concepts>
#include <ostream>

namespace vellamor {

// Failure messages show an error by its log form.
template<typename E>
    requires std::derived_from<E, Error>
void PrintTo(const E& error, std::ostream* os)
{
    *os << error.debugDescription().toStdString();
}

} // namespace vellamor
