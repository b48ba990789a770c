#pragma once

#include "History/HistoryRecord.h"

#include <QCoro/QCoroTask>

namespace vellamor {

// Where a finished dictation writes its record; the controller needs no more
// of a history than this.
class HistorySink {
public:
    virtual ~HistorySink() = default;

    // Returns the record as it was kept.
    virtual QCoro::Task<HistoryRecord> append(HistoryRecord record) = 0;
};

} // namespace vellamor
