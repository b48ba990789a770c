#pragma once

#include <QString>

namespace vellamor {

// The text in double quotes with backslash, quote and control characters
// escaped, as a debug description shows a string payload: decodingFailed("…").
QString debugQuoted(const QString& text);

} // namespace vellamor
