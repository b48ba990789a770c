#pragma once

#include "InputSources/InputSource.h"
#include "InputSources/PairingInfo.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>

namespace vellamor {

// The input-source operations the card, the pairing sheet and the pairing
// dialog depend on, so each can be driven by a fake.
class InputSourceAPIProtocol {
public:
    virtual ~InputSourceAPIProtocol() = default;

    virtual QCoro::Task<PairingInfo> createPairing() = 0;
    virtual QCoro::Task<QList<InputSource>> list() = 0;
    virtual QCoro::Task<void> revoke(qint64 id) = 0;
    virtual QCoro::Task<void> confirmPairing(qint64 sourceID, bool accept) = 0;
    virtual QCoro::Task<QString> status(QString sourceToken) = 0;
};

} // namespace vellamor
