#include "HistoryWindows/HistoryWindowController.h"

namespace vellamor {

HistoryWindowController::HistoryWindowController()
    : window_(QStringLiteral("Vellamor 历史记录"), QStringLiteral("历史记录面板尚未完成。"))
{
}

void HistoryWindowController::configure(std::shared_ptr<LocalHistoryStore> store,
                                        std::shared_ptr<HistoryChangeBroadcaster> broadcaster)
{
    store_ = std::move(store);
    broadcaster_ = std::move(broadcaster);
}

void HistoryWindowController::show()
{
    window_.present();
}

} // namespace vellamor
