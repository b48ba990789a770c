#pragma once

#include <QString>

namespace vellamor {

// The text in double quotes with backslash, quote and control characters
// escaped, as a debug description shows a string payload: decodingFailed("…").
QString debugQuoted(const QString& text);

// Characters that could break or disguise a log line: controls, line and
// paragraph separators, and the bidirectional controls that reorder the text
// after them on screen.
bool unsafeInLogLine(QChar c);

// The text with backslashes and every character that could break a log line
// (see unsafeInLogLine) escaped as in debugQuoted(), so
// text from outside cannot forge lines of its own.
QString escapedForLogLine(const QString& text);

// The text as one line for a reader, on screen and on the accessibility
// bus: each line break (LF, CR, CR LF, VT, FF, NEL, line and paragraph
// separators) shown as "↵", a tab as a space, every other control character
// as U+FFFD, and left out: the bidirectional controls (see unsafeInLogLine),
// every other invisible format character (zero-width spaces and joiners,
// word joiners, soft hyphens, byte-order marks, tags…) except the joiners
// between letters of the scripts that write with them and those inside an
// emoji, and a flag's one run of tags, and unpaired surrogates. The format
// characters that show (the Arabic number signs) stay. Text from outside can
// then neither write lines of its own, nor reorder what is shown around it,
// nor pass for another text, nor end an accessible name early. Nothing is cut.
QString oneLineForDisplay(const QString& text);

} // namespace vellamor
