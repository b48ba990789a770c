#pragma once

#include "InputSources/InputSourceAPIProtocol.h"
#include "InputSources/PairingRequestPayload.h"
#include "Logging/VellamorLog.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <chrono>
#include <memory>

namespace vellamor {

// How one pairing dialog ended; a time-out and a dialog that vanished
// (application quitting) both count as refusal.
enum class PairingConfirmAction { accept, reject, timeout };

// "accept", "reject", "timeout".
QString pairingConfirmActionName(PairingConfirmAction action);

// The answer sent to the backend: true only for accept.
bool pairingConfirmDecision(PairingConfirmAction action);

// Asks the user whether a device may be bound to the account and sends the
// answer. Main thread only.
class PairingConfirmController {
public:
    PairingConfirmController() = delete;

    static constexpr std::chrono::milliseconds defaultTimeout = std::chrono::seconds(300);

    // Subsystem "com.vellamor.app", category "pairing-confirm".
    static VellamorLog defaultLog();

    // Shows an application-modal dialog for `payload` and, once the user
    // answers or `timeout` passes, sends the decision with
    // api->confirmPairing(). Ends after the answer was sent or its failure
    // logged; never throws. Each call has its own dialog and time-out.
    static QCoro::Task<void> show(PairingRequestPayload payload, std::shared_ptr<InputSourceAPIProtocol> api,
                                  std::chrono::milliseconds timeout = defaultTimeout, VellamorLog log = defaultLog());

private:
    static QCoro::Task<PairingConfirmAction> waitForAction(PairingRequestPayload payload,
                                                           std::chrono::milliseconds timeout);
    static QString buildInformativeText(const PairingRequestPayload& payload);
};

} // namespace vellamor
