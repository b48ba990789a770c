#pragma once

#include <QString>

namespace vellamor {

// One logged part as the log file and the journal get it: on one line, so
// text from outside (a device name, a server message) can never pass for a
// line of its own, and of bounded size.
class LogPartText {
public:
    // UTF-8 bytes one part keeps; the rest is left out with its count.
    static constexpr qsizetype maxBytes = 4096;

    // Line breaks, tabs, every other control character and the
    // bidirectional controls become escapes ("\n", "\r", "\t", "\u001b",
    // "\u202e"); then a part longer than maxBytes is cut
    // at a character boundary and ends with "…[N bytes left out]".
    static QString clean(const QString& part);

    // The text as it is when its UTF-8 form fits `limit` bytes; otherwise
    // cut at a character boundary, followed by "…[N bytes left out]".
    static QString cut(const QString& text, qsizetype limit);
};

} // namespace vellamor
