#pragma once

#include "Logging/SystemLogSink.h"

#include <QList>
#include <QString>

#include <initializer_list>
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

    RecordingSystemLog();
    explicit RecordingSystemLog(std::initializer_list<SystemLogLevel> enabledLevels);

    bool isEnabled(SystemLogLevel level) const override;
    void write(SystemLogLevel level, const QString& subsystem, const QString& category, const QString& publicPart,
               const std::optional<QString>& privatePart) override;

    void setEnabled(SystemLogLevel level, bool enabled);
    QList<Entry> entries() const;

private:
    mutable std::mutex mutex_;
    std::set<SystemLogLevel> enabled_;
    QList<Entry> entries_;
};

} // namespace vellamor::test
