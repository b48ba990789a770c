#pragma once

#include <QString>

namespace vellamor {

// What the server made of one uploaded dictation.
struct AppendHistoryResult {
    qint64 serverID = 0;
    QString clientID;
    // Microseconds since 1970.
    qint64 updatedAtMicros = 0;

    friend bool operator==(const AppendHistoryResult&, const AppendHistoryResult&) = default;
};

} // namespace vellamor
