#pragma once

#include "Auth/AuthState.h"
#include "Models/AuthAPIError.h"
#include "Models/AuthMe.h"
#include "Models/AuthTokens.h"

#include "QtPrinters.h"

#include <optional>
#include <ostream>

namespace vellamor {

inline void PrintTo(const AuthAPIError& error, std::ostream* os)
{
    *os << error.debugDescription().toStdString();
}

inline void PrintTo(const AuthState& state, std::ostream* os)
{
    *os << state.debugDescription().toStdString();
}

inline void PrintTo(const AuthTokens& tokens, std::ostream* os)
{
    *os << "AuthTokens(" << tokens.accessToken.toStdString() << ", " << tokens.refreshToken.toStdString() << ", "
        << tokens.expiresAt.toIso8601WithMilliseconds().toStdString() << ")";
}

inline void PrintTo(const AuthMe& me, std::ostream* os)
{
    *os << "AuthMe(" << me.userId << ", " << me.email.toStdString() << ")";
}

} // namespace vellamor
