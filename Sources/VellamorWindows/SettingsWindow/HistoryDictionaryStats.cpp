#include "SettingsWindow/HistoryDictionaryStats.h"

#include "Auth/AuthSessionObserver.h"
#include "History/HistorySyncEngine.h"
#include "History/LocalHistoryStore.h"
#include "SettingsWindow/ErrorText.h"
#include "Support/Async/Spawn.h"
#include "Support/Error.h"

#include <QDateTime>
#include <QLocale>

namespace vellamor {

HistoryDictionaryStats::HistoryDictionaryStats(Sources sources)
    : sources_(std::move(sources))
{
}

QString HistoryDictionaryStats::historyCountLabel() const
{
    return QString::number(historyCount.value()) + QStringLiteral(" 条");
}

QString HistoryDictionaryStats::dictCountLabel() const
{
    return QString::number(dictCount.value()) + QStringLiteral(" 个词条");
}

QString HistoryDictionaryStats::syncDescription() const
{
    if (!canToggle.value())
        return QStringLiteral("登录账号后可开启云端同步");
    if (historySyncEnabled.value())
        return QStringLiteral("新录音会在完成后同步到你的账号");
    return QStringLiteral("历史仅保存在本设备，不会上传");
}

QString HistoryDictionaryStats::lastSyncDescription() const
{
    if (!canToggle.value())
        return QStringLiteral("登录后可同步");
    HistorySyncEngine* engine = sources_.historySyncEngine ? sources_.historySyncEngine() : nullptr;
    if (!engine)
        return QStringLiteral("等待同步引擎就绪");
    const std::optional<Date>& last = engine->publisher()->lastSyncAt();
    if (!last)
        return QStringLiteral("尚未同步");
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(last->toUnixMilliseconds());
    return QStringLiteral("上次同步：") + QLocale().toString(local, QStringLiteral("MM-dd HH:mm"));
}

bool HistoryDictionaryStats::signedIn() const
{
    return sources_.auth && sources_.auth->state().isAuthenticated();
}

void HistoryDictionaryStats::refresh()
{
    spawn(nullptr, QStringLiteral("settings history statistics"),
          [weak = weak_from_this()](std::stop_token) { return refreshing(weak); });
}

QCoro::Task<void> HistoryDictionaryStats::refreshing(std::weak_ptr<HistoryDictionaryStats> weak)
{
    const std::shared_ptr<HistoryDictionaryStats> self = weak.lock();
    if (!self)
        co_return;
    // The server may answer with the setting as it was before the user's
    // change, made meanwhile or still on its way: the user's change wins.
    const quint64 turnsBefore = self->switchTurns_;
    const bool turning = self->updating.value();
    qsizetype entries = 0;
    try {
        if (self->sources_.syncAPI)
            entries = (co_await self->sources_.syncAPI->listDictionary()).size();
    } catch (...) {
    }
    qsizetype records = 0;
    const auto& historyStore = self->sources_.historyStore;
    if (const std::shared_ptr<LocalHistoryStore> store = historyStore ? historyStore() : nullptr)
        records = (co_await store->all()).size();
    std::optional<PreferencesView> preference;
    if (self->signedIn() && self->sources_.preferencesAPI) {
        try {
            preference = co_await self->sources_.preferencesAPI->getPreferences();
        } catch (...) {
        }
    }
    self->historyCount = static_cast<int>(records);
    self->dictCount = static_cast<int>(entries);
    self->canToggle = preference.has_value();
    if (turning || self->switchTurns_ != turnsBefore)
        co_return;
    self->historySyncEnabled = preference && preference->historySync;
    self->toggleError = noText();
}

void HistoryDictionaryStats::setHistorySync(bool enabled)
{
    const bool previous = historySyncEnabled.value();
    ++switchTurns_;
    historySyncEnabled = enabled;
    toggleError = noText();
    // The switch waits for the answer: a second change could otherwise end
    // showing the opposite of what the server keeps.
    updating = true;
    spawn(nullptr, QStringLiteral("settings history sync setting"),
          [weak = weak_from_this(), enabled, previous](std::stop_token) { return sending(weak, enabled, previous); });
}

QCoro::Task<void> HistoryDictionaryStats::sending(std::weak_ptr<HistoryDictionaryStats> weak, bool enabled,
                                                  bool previous)
{
    const std::shared_ptr<HistoryDictionaryStats> self = weak.lock();
    if (!self)
        co_return;
    PreferencesUpdateRequest request;
    request.historySync = enabled;
    try {
        if (!self->sources_.preferencesAPI)
            throw std::runtime_error("no preferences client");
        co_await self->sources_.preferencesAPI->updatePreferences(request);
    } catch (...) {
        self->historySyncEnabled = previous;
        self->toggleError = QStringLiteral("同步设置失败：") + userFacingDescription(std::current_exception());
        self->updating = false;
        co_return;
    }
    self->updating = false;
    HistorySyncEngine* engine = self->sources_.historySyncEngine ? self->sources_.historySyncEngine() : nullptr;
    if (engine)
        engine->setCloudSyncEnabled(enabled);
    if (enabled)
        self->triggerSyncNow();
}

void HistoryDictionaryStats::triggerSyncNow()
{
    if (HistorySyncEngine* engine = sources_.historySyncEngine ? sources_.historySyncEngine() : nullptr)
        engine->syncNow();
}

} // namespace vellamor
