#pragma once

#include "Support/Async/TaskHandle.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

namespace vellamor {

// Runs steps one at a time: each starts once the one before has ended,
// however it ended, unless the queue was cancelled first or its owner is
// gone.
class StepQueue {
public:
    StepQueue(QObject* owner, QString what);

    void enqueue(std::function<QCoro::Task<void>()> step);
    // Drops the waiting steps and asks the running one to stop.
    void cancel();

private:
    QPointer<QObject> owner_;
    QString what_;
    TaskHandle last_;
};

} // namespace vellamor
