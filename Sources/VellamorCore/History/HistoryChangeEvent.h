#pragma once

#include "History/HistoryRecord.h"

#include <QUuid>

#include <optional>
#include <utility>

namespace vellamor {

// One change of the local history, as the store announces it. Each
// subscriber receives its own copy.
class HistoryChangeEvent {
public:
    // Declaration order of the cases.
    enum class Kind { appended, deleted, cleared };

    // A record was added or written over.
    static HistoryChangeEvent appended(HistoryRecord record)
    {
        HistoryChangeEvent event(Kind::appended);
        event.record_ = std::move(record);
        return event;
    }
    // The record with this local id was removed.
    static HistoryChangeEvent deleted(QUuid id)
    {
        HistoryChangeEvent event(Kind::deleted);
        event.id_ = id;
        return event;
    }
    // The whole history was removed.
    static HistoryChangeEvent cleared() { return HistoryChangeEvent(Kind::cleared); }

    Kind kind() const { return kind_; }
    // The record of appended; none otherwise.
    const std::optional<HistoryRecord>& record() const { return record_; }
    // The id of deleted; the null UUID otherwise.
    QUuid id() const { return id_; }

    friend bool operator==(const HistoryChangeEvent&, const HistoryChangeEvent&) = default;

private:
    explicit HistoryChangeEvent(Kind kind) : kind_(kind) { }

    Kind kind_;
    std::optional<HistoryRecord> record_;
    QUuid id_;
};

} // namespace vellamor
