#pragma once

#include <QCoro/QCoroTask>
#include <QString>

namespace vellamor {

// One way of putting a text at the cursor of the application in front.
// Throws its own error type when it could not.
class AnyInserter {
public:
    virtual ~AnyInserter() = default;

    virtual QCoro::Task<void> insert(QString text) = 0;
};

} // namespace vellamor
