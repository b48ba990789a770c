#pragma once

#include <QString>

#include <exception>
#include <optional>

namespace vellamor {

// What a user is told of a failure: our errors' own description, the
// message of any other exception.
QString errorText(std::exception_ptr error);

// No text. GCC -O1 takes a fresh empty optional text passed on by value for
// uninitialised; this one is a copy of a constant.
const std::optional<QString>& noText();

} // namespace vellamor
