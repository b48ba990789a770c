#pragma once

#include "SettingsWindow/HistoryDictionaryStats.h"
#include "Windows/RedrawBatch.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QPushButton;
class QLabel;

namespace vellamor {

class SettingsRow;
class ToggleSwitch;

// The history-and-dictionary section: the counts, the windows that edit
// them, and the account's cloud history setting. Refreshed each time it
// comes on screen.
class HistoryDictionaryPage : public QWidget {
    Q_OBJECT

public:
    HistoryDictionaryPage(HistoryDictionaryStats::Sources sources, std::function<void()> showHistory,
                          std::function<void()> showDictionary, QWidget* parent = nullptr);

    HistoryDictionaryStats& stats() { return *stats_; }
    ToggleSwitch& syncSwitch() { return *syncSwitch_; }
    QPushButton& syncNowButton() { return *syncNowButton_; }
    QPushButton& openHistoryButton() { return *openHistory_; }
    QPushButton& openDictionaryButton() { return *openDictionary_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showStats();

    std::shared_ptr<HistoryDictionaryStats> stats_;
    QLabel* historyTitle_ = nullptr;
    QLabel* dictTitle_ = nullptr;
    QLabel* syncDescription_ = nullptr;
    QLabel* toggleError_ = nullptr;
    QLabel* lastSync_ = nullptr;
    ToggleSwitch* syncSwitch_;
    QPushButton* syncNowButton_;
    QPushButton* openHistory_ = nullptr;
    QPushButton* openDictionary_ = nullptr;
    RedrawBatch redraw_{this, [this] { showStats(); }};
};

} // namespace vellamor
