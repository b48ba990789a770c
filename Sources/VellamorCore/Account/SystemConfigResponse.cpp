#include "Account/SystemConfigResponse.h"

#include "Support/Json/JsonReader.h"
#include "Support/Json/JsonValue.h"
#include "Support/Json/JsonWriter.h"

namespace vellamor {

QJsonValue SystemConfigResponse::toJson() const
{
    JsonWriter writer;
    writer.insert(u"region", region)
        .insert(u"site_url", siteUrl)
        .insert(u"asr_provider", asrProvider)
        .insert(u"llm_provider", llmProvider)
        .insert(u"scene_rules", sceneRules)
        .insert(u"announcement", announcement);
    return writer.object();
}

SystemConfigResponse SystemConfigResponse::fromJson(const QJsonValue& value, const QString& path)
{
    const JsonReader reader(json::readObject(value, path), path);
    SystemConfigResponse config;
    config.region = reader.requireString(u"region");
    config.siteUrl = reader.requireString(u"site_url");
    config.asrProvider = reader.requireString(u"asr_provider");
    config.llmProvider = reader.requireString(u"llm_provider");
    config.sceneRules = reader.requireArray(u"scene_rules").strings();
    config.announcement = reader.requireString(u"announcement");
    return config;
}

} // namespace vellamor
