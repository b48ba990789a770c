#pragma once

#include "Dictation/DictationOutput.h"
#include "History/LocalHistoryStore.h"
#include "InputSources/PairingRequestPayload.h"
#include "InputSources/SourceCommand.h"
#include "InputSources/SourceCommandSessionProtocol.h"
#include "Logging/VellamorLog.h"
#include "Support/Async/Sleep.h"
#include "Support/Async/TaskHandle.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace vellamor {

// Carries out the commands paired phones send, one at a time: a text is
// recorded in the current history and then delivered, its outcome told, as
// a dictation's; a pairing request goes to the confirmation, a revoked or
// changed phone reloads the lists, and a connect lights the status item's
// badge for 45 s.
class PhoneCommandRouter : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        // The store the signed-in account writes to now.
        std::function<std::shared_ptr<LocalHistoryStore>()> currentStore;
        std::function<void(const PairingRequestPayload&)> confirmPairing;
        std::function<void(bool on)> showConnected;
    };

    // `output` returns once a delivery has started: the next command may
    // arrive while a text is still typed or pasted.
    PhoneCommandRouter(std::shared_ptr<SourceCommandSessionProtocol> commands, std::shared_ptr<DictationOutput> output,
                       SleepFunction sleep, VellamorLog log, Hooks hooks, QObject* parent = nullptr);
    ~PhoneCommandRouter() override;

    void start();
    // Ends the pump and the badge's timer; the badge stays as it is.
    void stop();
    // Lights the badge for 45 s from now.
    void markConnected();
    void clearConnected();

Q_SIGNALS:
    // A paired phone was revoked or changed.
    void listChanged();

private:
    QCoro::Task<void> handle(SourceCommand command);

    std::shared_ptr<SourceCommandSessionProtocol> commands_;
    std::shared_ptr<DictationOutput> output_;
    SleepFunction sleep_;
    VellamorLog log_;
    Hooks hooks_;
    TaskHandle pumpTask_;
    TaskHandle badgeClearTask_;
};

} // namespace vellamor
