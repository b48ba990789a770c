#pragma once

#include "Networking/TextTransformRequest.h"
#include "Networking/TextTransformResponse.h"

#include <QCoro/QCoroTask>

#include <stop_token>

namespace vellamor {

class TextTransformAPIProtocol {
public:
    virtual ~TextTransformAPIProtocol() = default;
    virtual QCoro::Task<TextTransformResponse> transform(TextTransformRequest request, std::stop_token stop) = 0;
};

} // namespace vellamor
