#include "InputSourceWindows/PairingConfirmController.h"

#include "Support/Async/Channel.h"
#include "Support/Async/Spawn.h"
#include "Support/Error.h"

#include <algorithm>

namespace vellamor {

QString pairingConfirmActionName(PairingConfirmAction action)
{
    switch (action) {
    case PairingConfirmAction::accept:
        return QStringLiteral("accept");
    case PairingConfirmAction::reject:
        return QStringLiteral("reject");
    case PairingConfirmAction::timeout:
        return QStringLiteral("timeout");
    }
    return {};
}

bool pairingConfirmDecision(PairingConfirmAction action)
{
    return action == PairingConfirmAction::accept;
}

VellamorLog PairingConfirmController::defaultLog()
{
    return VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("pairing-confirm"));
}

PairingConfirmController::PairingConfirmController(ClientFactory client, SleepFunction sleep,
                                                   std::chrono::milliseconds timeout, VellamorLog log,
                                                   QObject* parent)
    : QObject(parent)
    , client_(std::move(client))
    , sleep_(std::move(sleep))
    , timeout_(timeout)
    , log_(std::move(log))
{
}

PairingConfirmController::~PairingConfirmController()
{
    runner_.cancel();
    delete dialog_.data();
}

void PairingConfirmController::enqueue(PairingRequestPayload payload)
{
    const qint64 sid = payload.sourceID;
    const bool waiting = std::any_of(waiting_.begin(), waiting_.end(),
                                     [sid](const PairingRequestPayload& queued) { return queued.sourceID == sid; });
    if (waiting || shownID_ == sid) {
        log_.info(QStringLiteral("pairing request already pending sid=") + QString::number(sid));
        return;
    }
    waiting_.push_back(std::move(payload));
    if (!runner_.isValid() || runner_.isFinished())
        runner_ = TaskHandle::start([this](std::stop_token token) { return run(std::move(token)); });
}

QCoro::Task<void> PairingConfirmController::run(std::stop_token token)
{
    // Cancelled before this object goes away; nothing touches it after that.
    while (!token.stop_requested() && !waiting_.empty()) {
        const PairingRequestPayload payload = waiting_.front();
        waiting_.pop_front();
        shownID_ = payload.sourceID;
        const PairingConfirmAction action = co_await ask(payload, token);
        if (token.stop_requested())
            co_return;
        shownID_.reset();
        answer(payload, action);
    }
}

QCoro::Task<PairingConfirmAction> PairingConfirmController::ask(PairingRequestPayload payload, std::stop_token token)
{
    log_.info(QStringLiteral("show pairing dialog sid=") + QString::number(payload.sourceID));
    // Only the first of answer, time-out and destruction counts.
    const Channel<PairingConfirmAction> ended;
    auto* dialog = new PairingConfirmDialog(payload);
    dialog_ = dialog;
    connect(dialog, &QDialog::finished, dialog, [ended, dialog] {
        ended.push(dialog->confirmed() ? PairingConfirmAction::accept : PairingConfirmAction::reject);
    });
    connect(dialog, &QObject::destroyed, [ended] { ended.push(PairingConfirmAction::timeout); });
    const TaskHandle deadline
        = TaskHandle::start([ended, sleep = sleep_, timeout = timeout_](std::stop_token token) -> QCoro::Task<void> {
              if (co_await sleep(timeout, token))
                  ended.push(PairingConfirmAction::timeout);
          });
    dialog->show();
    const std::optional<PairingConfirmAction> action = co_await ended.next(token);
    deadline.cancel();
    if (token.stop_requested())
        co_return PairingConfirmAction::timeout;
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
    }
    co_return action.value_or(PairingConfirmAction::timeout);
}

void PairingConfirmController::answer(const PairingRequestPayload& payload, PairingConfirmAction action)
{
    const QString sid = QString::number(payload.sourceID);
    const bool accept = pairingConfirmDecision(action);
    log_.info(QStringLiteral("pairing decision sid=") + sid + QStringLiteral(" action=")
        + pairingConfirmActionName(action) + QStringLiteral(" accept=")
        + (accept ? QStringLiteral("true") : QStringLiteral("false")));
    // Sent beside the queue: a slow answer does not hold back the next dialog.
    spawn(nullptr, QStringLiteral("pairing answer"),
        [api = client_(), log = log_, sourceID = payload.sourceID, sid, accept](std::stop_token) -> QCoro::Task<void> {
            try {
                co_await api->confirmPairing(sourceID, accept);
            } catch (...) {
                log.warn(QStringLiteral("confirmPairing failed sid=") + sid + QStringLiteral(" error=")
                    + describeException(std::current_exception()));
            }
        });
}

} // namespace vellamor
