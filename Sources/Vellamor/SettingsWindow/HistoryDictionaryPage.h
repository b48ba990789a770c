#pragma once

#include "Account/PreferencesAPIProtocol.h"
#include "DataSync/DataSyncAPIProtocol.h"
#include "SettingsWindow/SettingsPages.h"
#include "Support/Async/Published.h"

#include <QWidget>

#include <memory>
#include <optional>

class QPushButton;
class QLabel;

namespace vellamor {

class SettingsRow;
class ToggleSwitch;

// What the history-and-dictionary section shows, as of its last refresh.
class HistoryDictionaryStats : public std::enable_shared_from_this<HistoryDictionaryStats> {
public:
    HistoryDictionaryStats(const SettingsPageHooks& hooks, const WindowServices& services);

    Published<int> historyCount{0};
    Published<int> dictCount{0};
    Published<bool> historySyncEnabled{false};
    // The server's setting was read at the last refresh.
    Published<bool> canToggle{false};
    Published<std::optional<QString>> toggleError;
    // A change of the setting is on its way to the server.
    Published<bool> updating{false};

    QString historyCountLabel() const;
    QString dictCountLabel() const;
    QString syncDescription() const;
    QString lastSyncDescription() const;

    // Each starts a task that keeps the statistics until it ends.
    void refresh();
    void setHistorySync(bool enabled);
    void triggerSyncNow();

private:
    static QCoro::Task<void> refreshing(std::weak_ptr<HistoryDictionaryStats> weak);
    static QCoro::Task<void> sending(std::weak_ptr<HistoryDictionaryStats> weak, bool enabled, bool previous);
    bool signedIn() const;

    SettingsPageHooks hooks_;
    std::shared_ptr<DataSyncAPIProtocol> syncAPI_;
    std::shared_ptr<PreferencesAPIProtocol> preferencesAPI_;
};

// The history-and-dictionary section: the counts, the windows that edit
// them, and the account's cloud history setting. Refreshed each time it
// comes on screen.
class HistoryDictionaryPage : public QWidget {
    Q_OBJECT

public:
    HistoryDictionaryPage(const SettingsPageContext& context, QWidget* parent = nullptr);

    HistoryDictionaryStats& stats() { return *stats_; }
    ToggleSwitch& syncSwitch() { return *syncSwitch_; }
    QPushButton& syncNowButton() { return *syncNowButton_; }
    QPushButton& openHistoryButton() { return *openHistory_; }
    QPushButton& openDictionaryButton() { return *openDictionary_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void scheduleRedraw();
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
    bool redrawPending_ = false;
    std::vector<Subscription> subscriptions_;
};

} // namespace vellamor
