#pragma once

#include "Networking/JsonCoding.h"
#include "Support/Json/JsonReader.h"

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// The reply of the remote-procedure endpoint: {"code", "msg", "data"}.
// Decoding reads, in this order, "code" (required exact integer: a string
// "0" or a fraction fails), "msg" (required string), and "data" only when it
// is present and not null; a present "data" that does not decode as T fails
// the whole envelope. Other members are ignored. Failures are the JSON kit's
// own JsonError. The envelope does not judge "code": each client does.
template<typename T>
struct APIResponseEnvelope {
    qint64 code = 0;
    QString msg;
    std::optional<T> data;

    static APIResponseEnvelope fromJson(const QJsonValue& value, const QString& path)
        requires JsonDecodable<T>
    {
        const JsonReader reader(json::readObject(value, path), path);
        APIResponseEnvelope envelope;
        envelope.code = reader.requireInt64(u"code");
        envelope.msg = reader.requireString(u"msg");
        if (reader.hasValue(u"data"))
            envelope.data = JsonCoding<T>::decode(reader.value(u"data"), reader.pathFor(u"data"));
        return envelope;
    }

    // From a response body; malformed JSON throws JsonError::invalidJson.
    static APIResponseEnvelope decode(const QByteArray& body)
        requires JsonDecodable<T>
    {
        return fromJson(JsonReader::parse(body).object(), {});
    }
};

// The generic client's name for the same envelope.
template<typename T>
using APIResponse = APIResponseEnvelope<T>;

} // namespace vellamor
