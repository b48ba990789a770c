#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

namespace vellamor {

// The service's configuration ("system.config"), passed on uninterpreted.
struct SystemConfigResponse {
    QString region;
    QString siteUrl;
    QString asrProvider;
    QString llmProvider;
    QStringList sceneRules;
    QString announcement;

    // "region", "site_url", "asr_provider", "llm_provider", "scene_rules"
    // (an array of strings) and "announcement" are required and non-null.
    QJsonValue toJson() const;
    static SystemConfigResponse fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const SystemConfigResponse&, const SystemConfigResponse&) = default;
};

} // namespace vellamor
