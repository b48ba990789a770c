#pragma once

#include "History/HistoryRecord.h"

#include <QCoro/QCoroTask>

namespace vellamor {

// The history of one account as the dictation engine sees it. The encrypted
// store implements it; callers hold the current store and are handed a new
// one when the account changes.
class LocalHistoryStore {
public:
    virtual ~LocalHistoryStore() = default;

    // Inserts the record, or replaces the one with the same id, and returns
    // it unchanged. Never fails: a store that cannot write logs a warning and
    // still returns the record. The caller may ignore the result.
    virtual QCoro::Task<HistoryRecord> append(HistoryRecord record) = 0;
};

} // namespace vellamor
