#pragma once

#include "Support/Date.h"

#include <QJsonValue>
#include <QString>

#include <optional>

namespace vellamor {

// One change pulled with "history.sync" by update time, read leniently:
// only "id" is required, but a value of the wrong type under any of the
// eight keys still fails.
struct RemoteHistoryItem {
    qint64 id = 0;
    // The client id the entry was appended with, unchanged.
    std::optional<QString> clientID;
    // The polished text when it has at least one character, else the raw text.
    QString text;
    // "raw_text", "" when absent.
    QString recognizedText;
    // Absent when missing or empty; blanks are kept.
    std::optional<QString> polishedText;
    // "app_bundle_id", unchanged ("" stays "").
    std::optional<QString> sourceApp;
    // The time of decoding when absent.
    Date createdAt;
    // createdAt when absent.
    Date updatedAt;
    // Present: deleted on the server.
    std::optional<Date> deletedAt;

    static RemoteHistoryItem fromJson(const QJsonValue& value, const QString& path);

    friend bool operator==(const RemoteHistoryItem&, const RemoteHistoryItem&) = default;
};

} // namespace vellamor
