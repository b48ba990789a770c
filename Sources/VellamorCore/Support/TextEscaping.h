#pragma once

#include <QString>

namespace vellamor {

// The text in double quotes with backslash, quote and control characters
// escaped, as a debug description shows a string payload: decodingFailed("…").
QString debugQuoted(const QString& text);

// The text with backslashes and every character that could break a log line
// (controls, line and paragraph separators) escaped as in debugQuoted(), so
// text from outside cannot forge lines of its own.
QString escapedForLogLine(const QString& text);

} // namespace vellamor
