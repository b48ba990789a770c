#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// No text. GCC -O1 takes a fresh empty optional text passed on by value for
// uninitialised; this one is a copy of a constant.
const std::optional<QString>& noText();

} // namespace vellamor
