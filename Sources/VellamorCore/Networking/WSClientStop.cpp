#include "Networking/WSClientStop.h"

#include "Models/VellamorTransportError.h"
#include "Support/Json/JsonWriter.h"
#include "Support/Utf8Text.h"

#include <utility>

namespace vellamor {

QJsonObject WSClientStop::toJson() const
{
    JsonWriter writer;
    writer.insert(u"type", type_);
    return writer.object();
}

QByteArray WSClientStop::encode() const
{
    return JsonWriter(toJson()).toJson();
}

QString WSClientStop::encodeText() const
{
    std::optional<QString> text = decodeUtf8Strictly(encode());
    if (!text)
        throw VellamorTransportError::encodingFailed();
    return std::move(*text);
}

} // namespace vellamor
