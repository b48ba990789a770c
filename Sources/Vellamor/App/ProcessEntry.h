#pragma once

#include <functional>

namespace vellamor {

class AppDelegate;

// The whole life of the process: command line, configuration, main loop.
// `launched`, when given, runs once launching has finished (a benchmark
// drives the application through it).
int runProcess(int argc, char** argv, const std::function<void(AppDelegate&)>& launched = {});

} // namespace vellamor
