#pragma once

#include "CallLog.h"

#include "TextInsertion/AccessibilityProbing.h"
#include "TextInsertion/AnyInserter.h"

#include <exception>
#include <functional>
#include <memory>

namespace vellamor::test {

// A layer that records "<name>(<text>)" in a shared log, then runs its
// behaviour (which may throw or wait) and succeeds unless that threw.
class RecordingInserter final : public AnyInserter {
public:
    using Behaviour = std::function<QCoro::Task<void>()>;

    RecordingInserter(QString name, std::shared_ptr<CallLog> log) : name_(std::move(name)), log_(std::move(log)) {}

    // The next insertions throw `error`.
    template<typename E>
    void failWith(E error)
    {
        behaviour_ = [error]() -> QCoro::Task<void> {
            throw error;
            co_return;
        };
    }
    void behave(Behaviour behaviour) { behaviour_ = std::move(behaviour); }

    QCoro::Task<void> insert(QString text) override
    {
        log_->record(name_ + QLatin1Char('(') + text + QLatin1Char(')'));
        if (behaviour_)
            co_await behaviour_();
    }

private:
    QString name_;
    std::shared_ptr<CallLog> log_;
    Behaviour behaviour_;
};

class RecordingProbe final : public AccessibilityProbing {
public:
    explicit RecordingProbe(std::shared_ptr<CallLog> log) : log_(std::move(log)) {}

    bool answer = true;

    bool isTrustedAndHasFocus() override
    {
        log_->record(QStringLiteral("probe"));
        return answer;
    }

private:
    std::shared_ptr<CallLog> log_;
};

} // namespace vellamor::test
