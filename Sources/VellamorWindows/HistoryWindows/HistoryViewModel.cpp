#include "HistoryWindows/HistoryViewModel.h"

#include "Support/Async/MainThread.h"
#include "Support/Async/Spawn.h"

#include <QDateTime>
#include <QLocale>

namespace vellamor {

namespace {

using namespace std::chrono_literals;

// Assigned rather than std::nullopt, on which GCC 12 sees the QString of
// the empty optional copied uninitialised.
const std::optional<QString> noText;

bool holds(const QString& haystack, const QString& lowerNeedle)
{
    return haystack.toLower().contains(lowerNeedle);
}

} // namespace

HistoryViewModel::HistoryViewModel(Dependencies dependencies, QObject* parent)
    : QObject(parent)
    , store_(std::move(dependencies.store))
    , layered_(std::move(dependencies.layered))
    , auth_(std::move(dependencies.auth))
    , isAccessibilityTrusted_(std::move(dependencies.isAccessibilityTrusted))
    , sync_(std::move(dependencies.sync))
    , sleep_(dependencies.sleep ? std::move(dependencies.sleep) : &sleepFor)
{
    auto events = std::make_shared<HistoryChangeStream>(dependencies.broadcaster->subscribe());
    QPointer<HistoryViewModel> weak(this);
    changeTask_ = spawn(this, QStringLiteral("history panel change events"),
                        [events, weak](std::stop_token token) -> QCoro::Task<void> {
                            for (;;) {
                                const std::optional<HistoryChangeEvent> event = co_await events->next(token);
                                if (!event || !weak)
                                    co_return;
                                weak->refresh();
                            }
                        });
    authSubscription_ = auth_->subscribeStateQueued(this, [weak](const AuthState&) {
        if (weak)
            weak->refresh();
    });
}

HistoryViewModel::~HistoryViewModel()
{
    changeTask_.cancel();
}

QList<HistoryRecord> HistoryViewModel::filtered() const
{
    const QString needle = query.value().trimmed().toLower();
    if (needle.isEmpty())
        return items.value();
    QList<HistoryRecord> matches;
    for (const HistoryRecord& record : items.value()) {
        if (holds(record.text, needle) || holds(record.recognizedText, needle)
            || holds(record.polishedText.value_or(QString()), needle)
            || holds(record.sourceApp.value_or(QString()), needle))
            matches.append(record);
    }
    return matches;
}

void HistoryViewModel::refresh()
{
    isLoading = true;
    errorText = noText;
    topHintText = isAccessibilityTrusted_() ? noText : std::optional<QString>(noTargetHint());
    if (loadRunning_) {
        loadPending_ = true;
        return;
    }
    loadRunning_ = true;
    // The store reads without suspending: starting on the next turn lets
    // the rest of a burst of events fold into this load.
    QPointer<HistoryViewModel> weak(this);
    postTo(this, [weak] {
        if (weak)
            spawn(weak.data(), QStringLiteral("history panel load"),
                  [weak](std::stop_token) -> QCoro::Task<void> { co_await load(weak); });
    });
}

QCoro::Task<void> HistoryViewModel::load(QPointer<HistoryViewModel> weak)
{
    try {
        do {
            weak->loadPending_ = false;
            const std::shared_ptr<LocalHistoryStore> store = weak->store_;
            QList<HistoryRecord> records = co_await store->list(pageSize, 0);
            if (!weak)
                co_return;
            weak->items = std::move(records);
            weak->connection = weak->resolveConnection();
        } while (weak->loadPending_);
    } catch (...) {
        // A later refresh must still be able to load.
        if (weak) {
            weak->loadRunning_ = false;
            weak->isLoading = false;
        }
        throw;
    }
    weak->loadRunning_ = false;
    weak->isLoading = false;
}

DataSyncConnection HistoryViewModel::resolveConnection() const
{
    if (!auth_->state().isAuthenticated())
        return DataSyncConnection::local(QStringLiteral("登录后可云端同步"));
    if (sync_ && sync_->lastSyncAt()) {
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(sync_->lastSyncAt()->toUnixMilliseconds());
        return DataSyncConnection::local(QStringLiteral("本地存储 / 已同步 ")
                                         + QLocale().toString(at, QStringLiteral("HH:mm")));
    }
    return DataSyncConnection::local(QStringLiteral("本地存储"));
}

void HistoryViewModel::insert(const HistoryRecord& record)
{
    if (record.text.isEmpty())
        return;
    const QString text = sessionInsertedCount_ >= 1 ? QStringLiteral("\n") + record.text : record.text;
    QPointer<HistoryViewModel> weak(this);
    spawn(this, QStringLiteral("history re-insertion"),
          [weak, layered = layered_, text, id = record.id](std::stop_token) -> QCoro::Task<void> {
              const InsertStrategy strategy = co_await layered.insertLayered(text);
              if (weak)
                  weak->finishInsertion(id, strategy);
          });
}

void HistoryViewModel::finishInsertion(const QUuid& id, InsertStrategy strategy)
{
    ++sessionInsertedCount_;
    if (strategy != InsertStrategy::allFailed) {
        QSet<QUuid> inserted = insertedItemIds.value();
        inserted.insert(id);
        insertedItemIds = std::move(inserted);
    }
    applyFeedback(id, strategy);
}

void HistoryViewModel::applyFeedback(const QUuid& id, InsertStrategy strategy)
{
    switch (strategy) {
    case InsertStrategy::ax:
        pulsingItemId = id;
        clearLaterIfStill(&HistoryViewModel::pulsingItemId, 700ms, id);
        break;
    case InsertStrategy::keyboard:
        typingHintItemId = id;
        clearLaterIfStill(&HistoryViewModel::typingHintItemId, 600ms, id);
        break;
    case InsertStrategy::clipboard:
        degradeBannerText = clipboardBanner();
        // Unconditionally: a second paste's banner goes with the first timer.
        clearLater(2500ms, [](HistoryViewModel& model) { model.degradeBannerText = noText; });
        break;
    case InsertStrategy::noTarget:
        copiedItemId = id;
        clearLaterIfStill(&HistoryViewModel::copiedItemId, 2500ms, id);
        break;
    case InsertStrategy::allFailed:
        // The hint stays until the next refresh.
        topHintText = allFailedHint();
        copiedItemId = id;
        clearLaterIfStill(&HistoryViewModel::copiedItemId, 2500ms, id);
        break;
    }
}

void HistoryViewModel::clearLater(std::chrono::milliseconds delay, std::function<void(HistoryViewModel&)> clear)
{
    QPointer<HistoryViewModel> weak(this);
    spawn(this, QStringLiteral("history panel feedback"),
          [weak, sleep = sleep_, delay, clear = std::move(clear)](std::stop_token token) -> QCoro::Task<void> {
              co_await sleep(delay, token);
              if (weak)
                  clear(*weak);
          });
}

void HistoryViewModel::clearLaterIfStill(IdField field, std::chrono::milliseconds delay, const QUuid& id)
{
    clearLater(delay, [field, id](HistoryViewModel& model) {
        if ((model.*field).value() == id)
            model.*field = std::nullopt;
    });
}

void HistoryViewModel::resetSessionInsertState()
{
    sessionInsertedCount_ = 0;
    insertedItemIds = QSet<QUuid>();
    pulsingItemId = std::nullopt;
    typingHintItemId = std::nullopt;
    hoveredItemId = std::nullopt;
    copiedItemId = std::nullopt;
    degradeBannerText = noText;
}

} // namespace vellamor
