#pragma once

#include "Audio/AudioFrame.h"
#include "Dictation/ASRProvider.h"
#include "EngineTestPrinters.h"
#include "Networking/WSMessage.h"
#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"
#include "WaitUntil.h"

#include <QList>

#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <memory>

namespace vellamor {

inline void PrintTo(const WSMessage& message, std::ostream* os)
{
    *os << message.debugDescription().toStdString();
}

namespace test {

// Every event of a session until its stream ends, and how it ended.
struct EventOutcome {
    QList<ASRStreamEvent> events;
    std::exception_ptr error;

    QString errorText() const { return error ? describeException(error) : QString(); }
};

inline QCoro::Task<EventOutcome> collectEvents(ASREventStream events)
{
    EventOutcome outcome;
    try {
        for (;;) {
            const std::optional<ASRStreamEvent> event = co_await events.next();
            if (!event)
                break;
            outcome.events.append(*event);
        }
    } catch (...) {
        outcome.error = std::current_exception();
    }
    co_return outcome;
}

inline EventOutcome drainEvents(ASREventStream events)
{
    return runBlocking(collectEvents(std::move(events)), hangCeiling);
}

// A full 640-byte frame whose every byte is `index`, so order is visible in the bytes.
inline AudioFrame markedFrame(int index)
{
    return AudioFrame(QByteArray(640, static_cast<char>(index & 0xff)), 0.0f, index);
}

template<typename E>
bool holds(const std::exception_ptr& error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const E&) {
        return true;
    } catch (...) {
    }
    return false;
}

} // namespace test
} // namespace vellamor
