#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vellamor {

struct HistoryRecord;

// The texts of one history record, the part of a stored row that is
// encrypted. Only the history store writes and reads it.
struct HistoryPayload {
    QString text;
    std::optional<QString> recognizedText;
    std::optional<QString> polishedText;
    std::optional<QString> sourceApp;

    static HistoryPayload of(const HistoryRecord& record);

    // Compact JSON: "text" always, each other key only when present.
    QByteArray toJson() const;
    // "text" is required and the other keys optional; keys not named here
    // are ignored. Throws JsonError for anything else.
    static HistoryPayload fromJson(const QByteArray& bytes);

    friend bool operator==(const HistoryPayload&, const HistoryPayload&) = default;
};

} // namespace vellamor
