#pragma once

#include <QJsonValue>
#include <QString>

namespace vellamor {

// Where a text to transform was written. The vocabularies of scene, style
// and target language are the server's; values pass through unchecked.
struct TransformContext {
    QString appBundleId;
    QString scene;
    QString style;
    QString targetLanguage;

    // {"app_bundle_id", "scene", "style", "target_language"}, all required strings.
    QJsonValue toJson() const;
    static TransformContext fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const TransformContext&, const TransformContext&) = default;
};

} // namespace vellamor
