#pragma once

#include <QString>

namespace vellamor::test {

// Presses the first button named `name` among what the process `pid` shows
// on the accessibility bus, as a screen reader would. False when it shows
// none (yet).
bool pressAccessibleButton(qint64 pid, const QString& name);

} // namespace vellamor::test
