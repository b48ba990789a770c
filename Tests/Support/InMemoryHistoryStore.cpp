#include "InMemoryHistoryStore.h"

namespace vellamor::test {

QCoro::Task<HistoryRecord> InMemoryHistoryStore::append(HistoryRecord record)
{
    if (callLog_)
        callLog_->record(QStringLiteral("history.append"));
    records_.push_back(record);
    co_return record;
}

} // namespace vellamor::test
