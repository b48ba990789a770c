#include "Dictation/SessionSnapshot.h"

#include <utility>

namespace vellamor {

SessionSnapshot::SessionSnapshot(std::optional<QUuid> sessionID, DictationState state, QString partialText,
                                 QString finalText, QString polishedText, qint64 elapsedMillis, float rms,
                                 std::optional<QString> errorMessage)
    : sessionID(sessionID)
    , state(std::move(state))
    , partialText(std::move(partialText))
    , finalText(std::move(finalText))
    , polishedText(std::move(polishedText))
    , elapsedMillis(elapsedMillis)
    , rms(rms)
    , errorMessage(std::move(errorMessage))
{
}

SessionSnapshot SessionSnapshot::idle()
{
    return SessionSnapshot(std::nullopt, DictationState::idle(), {}, {}, {}, 0, 0.0f, std::nullopt);
}

} // namespace vellamor
