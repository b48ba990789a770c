#pragma once

#include "CallLog.h"
#include "History/HistorySink.h"

#include <memory>
#include <vector>

namespace vellamor::test {

// A history store that keeps every appended record in append order and
// returns it unchanged. Records "history.append".
class InMemoryHistoryStore final : public HistorySink {
public:
    void setCallLog(std::shared_ptr<CallLog> log) { callLog_ = std::move(log); }

    const std::vector<HistoryRecord>& records() const { return records_; }

    QCoro::Task<HistoryRecord> append(HistoryRecord record) override
    {
        if (callLog_)
            callLog_->record(QStringLiteral("history.append"));
        records_.push_back(record);
        co_return record;
    }

private:
    std::shared_ptr<CallLog> callLog_;
    std::vector<HistoryRecord> records_;
};

} // namespace vellamor::test
