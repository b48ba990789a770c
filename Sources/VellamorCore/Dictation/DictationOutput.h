#pragma once

#include <QCoro/QCoroTask>
#include <QString>

namespace vellamor {

// Hands the finished text to the application in front, implemented by the
// platform. Called at most once per session with non-empty text; it has no
// error path, so an implementation handles and logs its own failures.
class DictationOutput {
public:
    virtual ~DictationOutput() = default;

    virtual QCoro::Task<void> deliver(QString text) = 0;
};

} // namespace vellamor
