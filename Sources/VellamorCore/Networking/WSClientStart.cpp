#include "Networking/WSClientStart.h"

#include "Models/VellamorTransportError.h"
#include "Support/Json/JsonWriter.h"
#include "Support/Utf8Text.h"

#include <utility>

namespace vellamor {

WSClientStart::WSClientStart(QString lang, QString scene, QString style, bool polish,
                             std::optional<QString> llmProvider)
    : lang(std::move(lang))
    , scene(std::move(scene))
    , style(std::move(style))
    , polish(polish)
    , llmProvider(std::move(llmProvider))
{
}

QJsonObject WSClientStart::toJson() const
{
    JsonWriter writer;
    writer.insert(u"type", type_)
        .insert(u"lang", lang)
        .insert(u"scene", scene)
        .insert(u"style", style)
        .insert(u"polish", polish)
        .insertIfPresent(u"llm_provider", llmProvider);
    return writer.object();
}

QByteArray WSClientStart::encode() const
{
    return JsonWriter(toJson()).toJson();
}

QString WSClientStart::encodeText() const
{
    std::optional<QString> text = decodeUtf8Strictly(encode());
    if (!text)
        throw VellamorTransportError::encodingFailed();
    return std::move(*text);
}

} // namespace vellamor
