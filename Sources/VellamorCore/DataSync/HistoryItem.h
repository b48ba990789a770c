#pragma once

#include "DataSync/JsonDateReader.h"
#include "Networking/FlexibleDate.h"
#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

namespace vellamor {

// One history entry as the data-sync client hands it out, cached and sent in
// sync-by-version answers under the keys "id", "rawText", "polishedText",
// "lang", "scene", "durationMs", "appBundleId" and "createdAt" (all required).
struct HistoryItem {
    qint64 id = 0;
    QString rawText;
    QString polishedText;
    QString lang;
    QString scene;
    qint64 durationMs = 0;
    QString appBundleId;
    Date createdAt;

    // The polished text when it is not empty, else the raw text.
    const QString& displayText() const { return polishedText.isEmpty() ? rawText : polishedText; }

    // The time in whole UTC seconds ("2026-03-01T08:15:42Z").
    QJsonValue toJson() const;
    static HistoryItem fromJson(const QJsonValue& value, const QString& path,
                                JsonDateReader readDate = decodeFlexibleDate);

    friend bool operator==(const HistoryItem&, const HistoryItem&) = default;
};

} // namespace vellamor
