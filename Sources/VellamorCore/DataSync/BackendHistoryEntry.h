#pragma once

#include "DataSync/HistoryItem.h"
#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// One entry of the "history.list" answer: "id", "raw_text" and "created_at"
// required; "polished_text", "lang", "scene", "duration_ms" and
// "app_bundle_id" optional.
struct BackendHistoryEntry {
    qint64 id = 0;
    QString rawText;
    std::optional<QString> polishedText;
    std::optional<QString> lang;
    std::optional<QString> scene;
    std::optional<qint64> durationMs;
    std::optional<QString> appBundleId;
    Date createdAt;

    static BackendHistoryEntry fromJson(const QJsonValue& value, const QString& path);

    // Absent texts become "", an absent duration 0.
    HistoryItem toHistoryItem() const;
};

} // namespace vellamor
