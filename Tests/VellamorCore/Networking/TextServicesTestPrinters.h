#pragma once

#include "Models/AuthAPIError.h"
#include "Networking/SessionFeedbackAPIError.h"
#include "Networking/TextTransformAPIError.h"

#include <ostream>

namespace vellamor {

inline void PrintTo(const AuthAPIError& error, std::ostream* os)
{
    *os << error.debugDescription().toStdString();
}

inline void PrintTo(const TextTransformAPIError& error, std::ostream* os)
{
    *os << error.debugDescription().toStdString();
}

inline void PrintTo(const SessionFeedbackAPIError& error, std::ostream* os)
{
    *os << error.debugDescription().toStdString();
}

} // namespace vellamor
