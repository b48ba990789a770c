#include "RecordingSystemLog.h"

namespace vellamor::test {

RecordingSystemLog::RecordingSystemLog()
    : RecordingSystemLog({SystemLogLevel::Debug, SystemLogLevel::Info, SystemLogLevel::Default, SystemLogLevel::Error})
{
}

RecordingSystemLog::RecordingSystemLog(std::initializer_list<SystemLogLevel> enabledLevels)
    : enabled_(enabledLevels)
{
}

bool RecordingSystemLog::isEnabled(SystemLogLevel level) const
{
    std::lock_guard lock(mutex_);
    return enabled_.count(level) > 0;
}

void RecordingSystemLog::write(SystemLogLevel level, const QString& subsystem, const QString& category,
                               const QString& publicPart, const std::optional<QString>& privatePart)
{
    std::lock_guard lock(mutex_);
    entries_.push_back({level, subsystem, category, publicPart, privatePart});
}

void RecordingSystemLog::setEnabled(SystemLogLevel level, bool enabled)
{
    std::lock_guard lock(mutex_);
    if (enabled)
        enabled_.insert(level);
    else
        enabled_.erase(level);
}

QList<RecordingSystemLog::Entry> RecordingSystemLog::entries() const
{
    std::lock_guard lock(mutex_);
    return entries_;
}

} // namespace vellamor::test
