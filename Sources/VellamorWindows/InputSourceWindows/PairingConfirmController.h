#pragma once

#include "InputSourceWindows/PairingConfirmDialog.h"
#include "InputSources/InputSourceAPIProtocol.h"
#include "InputSources/PairingRequestPayload.h"
#include "Logging/VellamorLog.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"

#include <QObject>
#include <QPointer>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// How one pairing dialog ended; a time-out and a dialog that vanished
// (application quitting) both count as refusal.
enum class PairingConfirmAction { accept, reject, timeout };

// "accept", "reject", "timeout".
QString pairingConfirmActionName(PairingConfirmAction action);

// The answer sent to the backend: true only for accept.
bool pairingConfirmDecision(PairingConfirmAction action);

// Asks the user, one request at a time in arrival order, whether a device
// may be bound to the account, and sends each answer with its own client.
// Each dialog has `timeout` from when it is shown. A request for a source
// already waiting or on screen is dropped. Main thread only.
class PairingConfirmController : public QObject {
    Q_OBJECT

public:
    using ClientFactory = std::function<std::shared_ptr<InputSourceAPIProtocol>()>;

    static constexpr std::chrono::milliseconds defaultTimeout = std::chrono::seconds(300);

    explicit PairingConfirmController(ClientFactory client, SleepFunction sleep = &sleepFor,
                                      std::chrono::milliseconds timeout = defaultTimeout,
                                      VellamorLog log = defaultLog(), QObject* parent = nullptr);
    ~PairingConfirmController() override;

    // Subsystem "com.vellamor.app", category "pairing-confirm".
    static VellamorLog defaultLog();

    void enqueue(PairingRequestPayload payload);

    // The dialog on screen, if any.
    PairingConfirmDialog* dialog() const { return dialog_.data(); }

private:
    QCoro::Task<void> run(std::stop_token token);
    QCoro::Task<PairingConfirmAction> ask(PairingRequestPayload payload, std::stop_token token);
    void answer(const PairingRequestPayload& payload, PairingConfirmAction action);

    ClientFactory client_;
    SleepFunction sleep_;
    std::chrono::milliseconds timeout_;
    VellamorLog log_;
    std::deque<PairingRequestPayload> waiting_;
    std::optional<qint64> shownID_;
    QPointer<PairingConfirmDialog> dialog_;
    TaskHandle runner_;
};

} // namespace vellamor
