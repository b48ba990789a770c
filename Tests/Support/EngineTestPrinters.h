#pragma once

#include "Dictation/ASRStreamEvent.h"
#include "Dictation/DictationState.h"
#include "Dictation/SessionSnapshot.h"
#include "QtPrinters.h"
#include "Support/UuidText.h"

#include <ostream>

// Readable GoogleTest failure messages for the dictation engine's values.
namespace vellamor {

inline void PrintTo(const DictationState& state, std::ostream* os)
{
    *os << state.debugDescription().toStdString();
}

inline void PrintTo(const ASRStreamEvent& event, std::ostream* os)
{
    *os << event.debugDescription().toStdString();
}

inline void PrintTo(const SessionSnapshot& s, std::ostream* os)
{
    *os << "SessionSnapshot(" << (s.sessionID ? uuidString(*s.sessionID).toStdString() : std::string("nil")) << ", "
        << s.state.debugDescription().toStdString() << ", partial=\"" << s.partialText.toStdString()
        << "\", final=\"" << s.finalText.toStdString() << "\", polished=\"" << s.polishedText.toStdString()
        << "\", elapsed=" << s.elapsedMillis << ", rms=" << s.rms
        << ", error=" << (s.errorMessage ? '"' + s.errorMessage->toStdString() + '"' : std::string("nil")) << ")";
}

} // namespace vellamor
