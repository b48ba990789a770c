#pragma once

#include "Logging/SystemLogSink.h"

#include <QByteArrayList>

#include <memory>

namespace vellamor {

// The system log on Linux: one journald entry per call, with the subsystem
// and category as fields of their own.
class JournalSystemLog final : public SystemLogSink {
public:
    // One instance serves the whole process; it holds no state.
    static std::shared_ptr<JournalSystemLog> shared();

    // Every level is sent; journald's own configuration decides what it keeps.
    bool isEnabled(SystemLogLevel level) const override;
    void write(SystemLogLevel level, const QString& subsystem, const QString& category, const QString& publicPart,
               const std::optional<QString>& privatePart) override;

    // The "FIELD=value" entries of one journal record. The private part
    // appears as "<private>" unless `revealPrivate`.
    static QByteArrayList journalFields(SystemLogLevel level, const QString& subsystem, const QString& category,
                                        const QString& publicPart, const std::optional<QString>& privatePart,
                                        bool revealPrivate);

    // True only when VELLAMOR_LOG_PRIVATE is exactly "1"; read at each call.
    static bool privateDataRevealed();

    // The syslog priority journald files a level under.
    static int priority(SystemLogLevel level);
};

} // namespace vellamor
