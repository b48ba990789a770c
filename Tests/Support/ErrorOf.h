#pragma once

#include "Support/Async/RunBlocking.h"
#include "Support/Error.h"

#include <QCoro/QCoroTask>

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <utility>

namespace vellamor::test {

// The E a task ends with. A task that succeeds or throws anything else fails
// the test (and gives none), so a wrong outcome is reported as such rather
// than as a mere mismatch.
template<typename E, typename T>
std::optional<E> errorOf(QCoro::Task<T> task)
{
    try {
        runBlocking(std::move(task));
        ADD_FAILURE() << "no error";
    } catch (const E& error) {
        return error;
    } catch (...) {
        ADD_FAILURE() << describeException(std::current_exception()).toStdString();
    }
    return std::nullopt;
}

} // namespace vellamor::test
