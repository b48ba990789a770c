#pragma once

#include "Account/ModelAPIProtocol.h"

#include <QStringList>

#include <exception>

namespace vellamor::test {

// The model list a test sets: each call is counted and answers `models`,
// or throws `failure` when one is set.
class FakeModelAPI final : public ModelAPIProtocol {
public:
    QList<LLMModelOption> models;
    std::exception_ptr failure;
    int calls = 0;

    QCoro::Task<QList<LLMModelOption>> listLLMModels() override
    {
        ++calls;
        if (failure)
            std::rethrow_exception(failure);
        // A copy: QCoro moves from a non-const lvalue given to co_return.
        co_return QList<LLMModelOption>(models);
    }
};

} // namespace vellamor::test
