#pragma once

#include "Networking/JsonCoding.h"

#include <QJsonObject>
#include <QString>

namespace vellamor {

// The request body of the remote-procedure endpoint: {"action": …, "data": …}.
// The action is sent as given; the payload is encoded by its own coding under
// "data" (a payload without arguments is EmptyData, giving {}). An error
// from the payload's encoding passes through unchanged.
template<typename T>
struct APIRequestEnvelope {
    QString action;
    T data;

    QJsonValue toJson() const
        requires JsonEncodable<T>
    {
        QJsonObject object;
        object.insert(QStringLiteral("action"), action);
        object.insert(QStringLiteral("data"), JsonCoding<T>::encode(data));
        return object;
    }
};

// The generic client's name for the same envelope.
template<typename T>
using APIRequest = APIRequestEnvelope<T>;

} // namespace vellamor
