#pragma once

namespace vellamor::devbackend {

class DevServer;

// Registers every action the development backend knows. Each area's actions
// live in a file of their own and are added here.
void installDefaultActions(DevServer& server);

// "echo": answers code 0 with data {"data": the request's data (null when
// absent), "method", "path", "query" (the raw query text), "headers": an
// object of header names, lower-cased, to their values as received}. Tests
// use it to see what reached the server, e.g. which headers survived a
// redirect.
void installEchoAction(DevServer& server);

} // namespace vellamor::devbackend
