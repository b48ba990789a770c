#pragma once

#include "DataSync/RemoteHistoryItem.h"

#include <QList>

namespace vellamor {

// One page of the history changes pulled by update time.
struct HistorySyncSinceResponse {
    QList<RemoteHistoryItem> items;
    // The cursor for the next page, in microseconds since 1970.
    qint64 nextSinceUpdatedAtMicros = 0;
    bool hasMore = false;

    friend bool operator==(const HistorySyncSinceResponse&, const HistorySyncSinceResponse&) = default;
};

} // namespace vellamor
