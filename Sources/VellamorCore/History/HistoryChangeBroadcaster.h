#pragma once

#include "History/HistoryChangeEvent.h"
#include "History/HistoryChangeStream.h"
#include "Support/Async/Channel.h"

#include <QUuid>

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>

namespace vellamor {

// Tells everyone interested that the local history changed, without the
// store knowing who listens. One broadcaster serves the application's whole
// life and every store it opens, so subscribers stay connected across
// sign-in and sign-out.
//
// Fan-out by snapshot: an event reaches the subscribers present when
// publish() began, each in publish order; a later subscriber never sees
// earlier events. Delivery only enqueues: a subscriber's code runs on a
// later turn of its event loop, never inside publish(), so it may call back
// into the store that published. The broadcaster never ends a stream itself.
//
// Safe from any thread; the lock guards only the table of subscribers.
// Must be owned by a std::shared_ptr: subscriptions hold it weakly.
class HistoryChangeBroadcaster final : public std::enable_shared_from_this<HistoryChangeBroadcaster> {
public:
    HistoryChangeBroadcaster() = default;
    HistoryChangeBroadcaster(const HistoryChangeBroadcaster&) = delete;
    HistoryChangeBroadcaster& operator=(const HistoryChangeBroadcaster&) = delete;

    // A stream of the events published from now on. It stays registered
    // until it ends for any reason: cancelled, destroyed or finished. From a
    // broadcaster that is no longer owned (being destroyed) the stream ends
    // at once.
    HistoryChangeStream subscribe();

    void publish(const HistoryChangeEvent& event);

    std::size_t subscriberCount() const;

private:
    mutable std::mutex mutex_;
    std::map<QUuid, Channel<HistoryChangeEvent>> continuations_;
};

} // namespace vellamor
