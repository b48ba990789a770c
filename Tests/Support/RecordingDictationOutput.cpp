#include "RecordingDictationOutput.h"

#include "Support/Async/Sleep.h"

namespace vellamor::test {

QCoro::Task<void> RecordingDictationOutput::deliver(QString text)
{
    if (callLog_)
        callLog_->record(QStringLiteral("output.deliver"));
    texts_.append(text);
    if (delay_.count() > 0)
        co_await sleepFor(delay_);
    ++completed_;
}

} // namespace vellamor::test
