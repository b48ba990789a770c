#pragma once

#include "Account/LLMModelOption.h"

#include <QCoro/QCoroTask>
#include <QList>

namespace vellamor {

class ModelAPIProtocol {
public:
    virtual ~ModelAPIProtocol() = default;
    virtual QCoro::Task<QList<LLMModelOption>> listLLMModels() = 0;
};

} // namespace vellamor
