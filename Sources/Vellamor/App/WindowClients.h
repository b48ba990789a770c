#pragma once

#include "Windows/WindowServices.h"

#include <memory>

namespace vellamor {

class AuthSession;
class HTTPSession;
struct AppConfig;

// The factories left empty in `given` build the real clients: `config`'s
// addresses over `http`, `auth`'s access tokens, and `auth` told of refused
// sign-ins.
WindowServices withWindowClients(WindowServices given, const AppConfig& config, std::shared_ptr<HTTPSession> http,
                                 const std::shared_ptr<AuthSession>& auth);

} // namespace vellamor
