#pragma once

#include "Dictation/ASRStreamEvent.h"

#include <QString>

#include <optional>

namespace vellamor {

// The event frames of the speech service: each one is a stream event.
class WSServerEvent {
public:
    WSServerEvent() = delete;

    // The event of one text frame, or none when the frame is not JSON, not an
    // object, has no string "type" or a type not listed here (names are
    // case-sensitive: "ready", "partial", "final", "polish", "done",
    // "error"). Fields are read from the payload: the top-level "data" when
    // it is an object, else the whole object.
    // - "text" that is missing or not a string reads as "".
    // - error: "code" must be an integral JSON number, else -1; the message is
    //   "msg" if a string, else "message" if a string, else ""; the data map
    //   holds every other string entry except "code", "msg", "message" and
    //   "type", and is none when there is no such entry.
    static std::optional<ASRStreamEvent> decode(const QString& text);
};

} // namespace vellamor
