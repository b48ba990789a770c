#include "InMemoryHistoryStore.h"

#include "Support/Async/Sleep.h"

namespace vellamor::test {

QCoro::Task<HistoryRecord> InMemoryHistoryStore::append(HistoryRecord record)
{
    if (callLog_)
        callLog_->record(QStringLiteral("history.append"));
    if (delay_.count() > 0)
        co_await sleepFor(delay_);
    records_.push_back(record);
    co_return record;
}

} // namespace vellamor::test
