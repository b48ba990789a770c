#pragma once

#include "CallLog.h"
#include "Dictation/DictationOutput.h"
#include "Support/Async/Sleep.h"

#include <QStringList>

#include <chrono>
#include <memory>

namespace vellamor::test {

// An output that keeps every text it is given (at the moment deliver() is
// called) and can take a while to deliver. Records "output.deliver".
class RecordingDictationOutput final : public DictationOutput {
public:
    void setDeliveryDelay(std::chrono::milliseconds delay) { delay_ = delay; }
    void setCallLog(std::shared_ptr<CallLog> log) { callLog_ = std::move(log); }

    const QStringList& texts() const { return texts_; }
    // Deliveries that have returned.
    int completedCount() const { return completed_; }

    QCoro::Task<void> deliver(QString text) override
    {
        if (callLog_)
            callLog_->record(QStringLiteral("output.deliver"));
        texts_.append(text);
        if (delay_.count() > 0)
            co_await sleepFor(delay_);
        ++completed_;
    }

private:
    std::chrono::milliseconds delay_{0};
    std::shared_ptr<CallLog> callLog_;
    QStringList texts_;
    int completed_ = 0;
};

} // namespace vellamor::test
