#pragma once

#include "History/HistoryChangeEvent.h"
#include "Support/Async/Channel.h"

#include <QCoro/QCoroTask>

#include <optional>
#include <stop_token>

namespace vellamor {

// A subscriber's end of the history's change events: unbounded, in publish
// order. Owning it is what keeps the subscription: destroying it ends the
// subscription as a stop request on next() does, and the broadcaster then
// forgets it. Move-only; a moved-from stream is ended.
class HistoryChangeStream {
public:
    explicit HistoryChangeStream(Channel<HistoryChangeEvent> channel);
    ~HistoryChangeStream();
    HistoryChangeStream(HistoryChangeStream&& other) noexcept;
    HistoryChangeStream& operator=(HistoryChangeStream&& other) noexcept;
    HistoryChangeStream(const HistoryChangeStream&) = delete;
    HistoryChangeStream& operator=(const HistoryChangeStream&) = delete;

    // The next event; none once the stream has ended (also when `token` asks
    // to stop, which ends the subscription). The stream may be destroyed
    // while a call waits: the call then ends with none.
    QCoro::Task<std::optional<HistoryChangeEvent>> next(std::stop_token token = {}) const;

private:
    void end();

    std::optional<Channel<HistoryChangeEvent>> channel_;
};

} // namespace vellamor
