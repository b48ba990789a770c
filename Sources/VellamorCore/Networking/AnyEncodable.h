#pragma once

#include "Networking/JsonCoding.h"

#include <QJsonValue>

#include <concepts>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace vellamor {

// A type-erased payload: wraps any encodable value and encodes exactly as
// that value does, when it is encoded (so a payload's encoding error surfaces
// while the envelope is encoded). Copies share the immutable wrapped value.
class AnyEncodable {
public:
    template<typename T>
        requires JsonEncodable<T> && (!std::same_as<std::remove_cvref_t<T>, AnyEncodable>)
    explicit AnyEncodable(T value)
        : encode_(std::make_shared<const Encoder>(
              [captured = std::move(value)] { return QJsonValue(JsonCoding<T>::encode(captured)); }))
    {
    }

    QJsonValue toJson() const { return (*encode_)(); }

private:
    using Encoder = std::function<QJsonValue()>;
    std::shared_ptr<const Encoder> encode_;
};

} // namespace vellamor
