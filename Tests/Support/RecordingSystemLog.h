#pragma once

#include "Logging/SystemLogSink.h"

#include <QList>
#include <QString>

#include <mutex>
#include <optional>
#include <set>

namespace vellamor::test {

// A system-log sink that keeps every entry it receives, for tests that check
// what reached the system log and in which form. Levels can be disabled to
// model a system log that drops them. Safe to use from several threads.
class RecordingSystemLog final : public SystemLogSink {
public:
    struct Entry {
        SystemLogLevel level;
        QString subsystem;
        QString category;
        QString publicPart;
        std::optional<QString> privatePart;

        bool operator==(const Entry&) const = default;
    };

    bool isEnabled(SystemLogLevel level) const override
    {
        std::lock_guard lock(mutex_);
        return !disabled_.contains(level);
    }

    void write(SystemLogLevel level, const QString& subsystem, const QString& category, const QString& publicPart,
               const std::optional<QString>& privatePart) override
    {
        std::lock_guard lock(mutex_);
        entries_.push_back({level, subsystem, category, publicPart, privatePart});
    }

    void setEnabled(SystemLogLevel level, bool enabled)
    {
        std::lock_guard lock(mutex_);
        if (enabled)
            disabled_.erase(level);
        else
            disabled_.insert(level);
    }

    QList<Entry> entries() const
    {
        std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::set<SystemLogLevel> disabled_;
    QList<Entry> entries_;
};

} // namespace vellamor::test
