#pragma once

#include "History/HistoryChangeBroadcaster.h"
#include "History/LocalHistoryStore.h"
#include "Windows/PlaceholderWindow.h"

#include <memory>

namespace vellamor {

// The floating history panel; a placeholder until it exists. It keeps the
// store it was last given. Main thread only.
class HistoryWindowController {
public:
    HistoryWindowController();

    // The store to show, after every switch of account.
    void configure(std::shared_ptr<LocalHistoryStore> store, std::shared_ptr<HistoryChangeBroadcaster> broadcaster);
    void show();

    const std::shared_ptr<LocalHistoryStore>& store() const { return store_; }
    PlaceholderWindow& window() { return window_; }

private:
    std::shared_ptr<LocalHistoryStore> store_;
    std::shared_ptr<HistoryChangeBroadcaster> broadcaster_;
    PlaceholderWindow window_;
};

} // namespace vellamor
