#pragma once

#include "Models/AuthMe.h"
#include "Models/AuthTokens.h"

namespace vellamor {

// The result of verifying a unified sign-in code.
struct VerifyCodeResponse {
    AuthTokens tokens;
    AuthMe me;
    bool isNew = false; // the verification created the account

    friend bool operator==(const VerifyCodeResponse&, const VerifyCodeResponse&) = default;
};

} // namespace vellamor
