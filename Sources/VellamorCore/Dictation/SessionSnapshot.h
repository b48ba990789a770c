#pragma once

#include "Dictation/DictationState.h"

#include <QString>
#include <QUuid>

#include <optional>

namespace vellamor {

// Everything observers learn about a session: its phase with its texts and
// figures. The controller publishes a new snapshot for every change; `rms`
// stays 0 (the live level comes from the capture itself).
struct SessionSnapshot {
    SessionSnapshot(std::optional<QUuid> sessionID, DictationState state, QString partialText, QString finalText,
                    QString polishedText, qint64 elapsedMillis, float rms, std::optional<QString> errorMessage);

    // No session, idle, empty texts, zeros, no error.
    static SessionSnapshot idle();

    std::optional<QUuid> sessionID;
    DictationState state;
    QString partialText;
    QString finalText;
    QString polishedText;
    qint64 elapsedMillis;
    float rms;
    std::optional<QString> errorMessage;

    friend bool operator==(const SessionSnapshot&, const SessionSnapshot&) = default;
};

} // namespace vellamor
