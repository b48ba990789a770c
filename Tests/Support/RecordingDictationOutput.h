#pragma once

#include "CallLog.h"
#include "Dictation/DictationOutput.h"
#include "Support/Async/Channel.h"

#include <QStringList>

#include <memory>
#include <optional>
#include <utility>

namespace vellamor::test {

// An output that keeps every text it is given (at the moment deliver() is
// called) and can be held mid-delivery. Records "output.deliver".
class RecordingDictationOutput final : public DictationOutput {
public:
    // The next delivery returns only after releaseDelivery().
    void holdDelivery() { held_ = Channel<bool>(); }
    void releaseDelivery()
    {
        if (const auto gate = std::exchange(held_, std::nullopt))
            gate->finish();
    }
    void setCallLog(std::shared_ptr<CallLog> log) { callLog_ = std::move(log); }

    const QStringList& texts() const { return texts_; }
    // Deliveries that have returned.
    int completedCount() const { return completed_; }

    QCoro::Task<void> deliver(QString text) override
    {
        if (callLog_)
            callLog_->record(QStringLiteral("output.deliver"));
        texts_.append(text);
        if (held_) {
            const Channel<bool> gate = *held_;
            co_await gate.next();
        }
        ++completed_;
    }

private:
    std::optional<Channel<bool>> held_;
    std::shared_ptr<CallLog> callLog_;
    QStringList texts_;
    int completed_ = 0;
};

} // namespace vellamor::test
