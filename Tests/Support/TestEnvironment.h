#pragma once

#include <QString>

namespace vellamor::test {

// The private home folder this test process runs in (HOME and every XDG
// variable point below it), so no test touches the developer's own files.
QString testHome();

// Points HOME and the XDG folders at a fresh temporary directory. Called by
// the test main before anything else runs.
void isolateHome();

} // namespace vellamor::test
