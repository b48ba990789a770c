#pragma once

#include "InputSources/SourceCommand.h"
#include "Support/Async/Channel.h"

#include <QCoro/QCoroTask>

namespace vellamor {

// The commands of paired phones in arrival order. Never finished while its
// session lives; one consumer.
using SourceCommandStream = Channel<SourceCommand>;

// How the application shell holds the source-command session: started at
// sign-in, stopped at sign-out and at termination, its stream read for the
// whole life of the application.
class SourceCommandSessionProtocol {
public:
    virtual ~SourceCommandSessionProtocol() = default;

    virtual QCoro::Task<void> start() = 0;
    virtual QCoro::Task<void> stop() = 0;
    // The same stream on every call, across every start and stop.
    virtual SourceCommandStream commands() = 0;
};

} // namespace vellamor
