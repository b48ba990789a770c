#pragma once

namespace vellamor {

// The whole life of the process: command line, configuration, main loop.
int runProcess(int argc, char** argv);

} // namespace vellamor
