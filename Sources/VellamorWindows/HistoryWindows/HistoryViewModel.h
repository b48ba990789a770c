#pragma once

#include "Auth/AuthSessionObserver.h"
#include "DataSync/DataSyncConnection.h"
#include "History/HistoryChangeBroadcaster.h"
#include "History/HistoryRecord.h"
#include "History/HistorySyncObserver.h"
#include "History/LocalHistoryStore.h"
#include "Support/Async/Published.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"
#include "TextInsertion/LayeredInserter.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// The state behind the history panel: the newest 500 records of one store,
// kept fresh on every change event and every change of the signed-in state,
// where the history lives, and the re-insertion of a record into the
// application in front with the short-lived feedback the list shows for it.
//
// Reloads never overlap: a load starts on the turn after it was asked for,
// and requests made until it ends fold into one more, so a burst of change
// events (a cloud merge publishes one per record) costs one or two loads,
// and the last state shown is the one after the last request. Main thread
// only.
class HistoryViewModel final : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 pageSize = 500;

    static QString noTargetHint() { return QStringLiteral("无可用输入框 · 点击将复制到剪贴板"); }
    static QString allFailedHint() { return QStringLiteral("已复制到剪贴板，请手动粘贴"); }
    static QString clipboardBanner()
    {
        return QStringLiteral("当前应用不支持直接插入，已通过剪贴板粘贴并恢复原内容。");
    }

    struct Dependencies {
        std::shared_ptr<LocalHistoryStore> store;
        std::shared_ptr<HistoryChangeBroadcaster> broadcaster;
        LayeredInserter layered;
        std::shared_ptr<AuthSessionObserver> auth;
        // Whether accessibility access is granted; asked at every refresh.
        std::function<bool()> isAccessibilityTrusted;
        // None: no sync engine, never "已同步".
        std::shared_ptr<HistorySyncObserver> sync;
        // None: timers. How the feedback waits before it is cleared.
        SleepFunction sleep;
    };

    // Listens to the broadcaster at once, so no change published from now on
    // is missed, and to the signed-in state, whose current value brings one
    // refresh on a later turn.
    explicit HistoryViewModel(Dependencies dependencies, QObject* parent = nullptr);
    ~HistoryViewModel() override;

    Published<QList<HistoryRecord>> items;
    Published<QString> query;
    Published<bool> isLoading{false};
    // Cleared by every refresh; loading has no failure of its own.
    Published<std::optional<QString>> errorText;
    Published<DataSyncConnection> connection{DataSyncConnection::local(QStringLiteral("本地存储"))};
    // Written by the list view; never set here.
    Published<bool> showAuthSheet{false};
    Published<std::optional<QString>> topHintText;
    Published<std::optional<QString>> degradeBannerText;
    Published<std::optional<QUuid>> pulsingItemId;
    Published<std::optional<QUuid>> typingHintItemId;
    Published<QSet<QUuid>> insertedItemIds;
    // Written by the list view.
    Published<std::optional<QUuid>> hoveredItemId;
    Published<std::optional<QUuid>> copiedItemId;

    // Insertions finished since the last reset, whatever their outcome. Not
    // published: it changes together with published fields.
    int sessionInsertedCount() const { return sessionInsertedCount_; }

    // The records whose text, recognised or polished text or source
    // application holds the trimmed query, case-insensitively; all of them
    // for a blank query. In the order of `items`.
    QList<HistoryRecord> filtered() const;

    void refresh();
    // Puts `record.text` at the cursor of the application in front, after a
    // newline when something was inserted earlier in this session. Runs on
    // its own; its outcome comes back as feedback. Empty text: nothing.
    void insert(const HistoryRecord& record);
    // Ends an insertion session: count, marks, pulse, typing, hover, copied
    // and banner. The top hint, the records, the query and the connection stay.
    void resetSessionInsertState();

private:
    using IdField = Published<std::optional<QUuid>> HistoryViewModel::*;

    static QCoro::Task<void> load(QPointer<HistoryViewModel> weak);
    DataSyncConnection resolveConnection() const;
    void finishInsertion(const QUuid& id, InsertStrategy strategy);
    void applyFeedback(const QUuid& id, InsertStrategy strategy);
    // After `delay`, however the wait ends, `clear` runs unless this model is gone.
    void clearLater(std::chrono::milliseconds delay, std::function<void(HistoryViewModel&)> clear);
    // Clears `field` after `delay` only while it still names `id`, so an
    // earlier timer never takes a later row's feedback away.
    void clearLaterIfStill(IdField field, std::chrono::milliseconds delay, const QUuid& id);

    std::shared_ptr<LocalHistoryStore> store_;
    LayeredInserter layered_;
    std::shared_ptr<AuthSessionObserver> auth_;
    std::function<bool()> isAccessibilityTrusted_;
    std::shared_ptr<HistorySyncObserver> sync_;
    SleepFunction sleep_;
    TaskHandle changeTask_;
    Subscription authSubscription_;
    int sessionInsertedCount_ = 0;
    bool loadRunning_ = false;
    bool loadPending_ = false;
};

} // namespace vellamor
