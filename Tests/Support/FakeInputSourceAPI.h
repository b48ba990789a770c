#pragma once

#include "AnsweredCalls.h"

#include "InputSources/InputSourceAPIError.h"
#include "InputSources/InputSourceAPIProtocol.h"

#include <QStringList>

#include <stdexcept>

namespace vellamor::test {

// Pairings, lists and revocations wait until the test answers them; answers
// to pairing requests are recorded as "<sid> <accept>" and fail when
// `failConfirm` is set.
class FakeInputSourceAPI final : public InputSourceAPIProtocol {
public:
    AnsweredCalls<PairingInfo> pairings;
    AnsweredCalls<QList<InputSource>> lists;
    // Answered with any value.
    AnsweredCalls<bool> revocations;
    QList<qint64> revokedIDs;
    QStringList confirmed;
    bool failConfirm = false;

    // Ends every call still waiting (a test's last step, before the event loop runs once more).
    void failWaiting()
    {
        const auto error = InputSourceAPIError::transport(QStringLiteral("test ended"));
        pairings.failWaiting(error);
        lists.failWaiting(error);
        revocations.failWaiting(error);
    }

    QCoro::Task<PairingInfo> createPairing() override { return pairings.wait(); }
    QCoro::Task<QList<InputSource>> list() override { return lists.wait(); }
    QCoro::Task<void> revoke(qint64 id) override
    {
        revokedIDs.append(id);
        co_await revocations.wait();
    }
    QCoro::Task<void> confirmPairing(qint64 sourceID, bool accept) override
    {
        confirmed.append(QString::number(sourceID) + (accept ? QStringLiteral(" true") : QStringLiteral(" false")));
        if (failConfirm)
            throw InputSourceAPIError::missingToken();
        co_return;
    }
    QCoro::Task<QString> status(QString) override { throw std::logic_error("status is not faked"); }
};

} // namespace vellamor::test
