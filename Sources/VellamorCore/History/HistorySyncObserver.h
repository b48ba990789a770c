#pragma once

#include "Support/Async/Published.h"
#include "Support/Date.h"

#include <optional>
#include <utility>

namespace vellamor {

class HistorySyncEngine;

// What the history panel and the settings page show of the sync engine:
// whether a full sync is running and when the last one finished with a
// complete pull. Published-field rules (Support/Async/Published.h). Only the
// engine writes it; main thread only.
class HistorySyncObserver final {
public:
    HistorySyncObserver() = default;
    HistorySyncObserver(const HistorySyncObserver&) = delete;
    HistorySyncObserver& operator=(const HistorySyncObserver&) = delete;

    const std::optional<Date>& lastSyncAt() const { return lastSyncAt_.value(); }
    bool inProgress() const { return inProgress_.value(); }

    [[nodiscard]] Subscription subscribeLastSyncAt(Published<std::optional<Date>>::Callback callback)
    {
        return lastSyncAt_.subscribe(std::move(callback));
    }
    [[nodiscard]] Subscription subscribeInProgress(Published<bool>::Callback callback)
    {
        return inProgress_.subscribe(std::move(callback));
    }

private:
    friend class HistorySyncEngine;

    Published<std::optional<Date>> lastSyncAt_ {std::nullopt};
    Published<bool> inProgress_ {false};
};

} // namespace vellamor
