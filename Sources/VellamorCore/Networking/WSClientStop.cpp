#include "Networking/WSClientStop.h"

#include "Models/VellamorTransportError.h"
#include "Support/Json/JsonWriter.h"

#include <QStringDecoder>

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
    const QByteArray bytes = encode();
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        throw VellamorTransportError::encodingFailed();
    return text;
}

} // namespace vellamor
