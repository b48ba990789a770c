#include "Logging/VellamorLog.h"

#include "Logging/FileLogSink.h"
#include "Logging/JournalSystemLog.h"
#include "Logging/LogPartText.h"
#include "Logging/LogRedactor.h"

namespace vellamor {

namespace {

const QString& debugTag()
{
    static const QString tag = QStringLiteral("DEBUG");
    return tag;
}
const QString& infoTag()
{
    static const QString tag = QStringLiteral("INFO ");
    return tag;
}
const QString& warnTag()
{
    static const QString tag = QStringLiteral("WARN ");
    return tag;
}
const QString& errorTag()
{
    static const QString tag = QStringLiteral("ERROR");
    return tag;
}

} // namespace

VellamorLog::VellamorLog(QString subsystem, QString category)
    : VellamorLog(std::move(subsystem), std::move(category), JournalSystemLog::shared(), FileLogSink::shared())
{
}

VellamorLog::VellamorLog(QString subsystem, QString category, std::shared_ptr<SystemLogSink> systemLog,
                         std::shared_ptr<LogSink> sink)
    : subsystem_(std::move(subsystem))
    , category_(std::move(category))
    , systemLog_(std::move(systemLog))
    , sink_(std::move(sink))
{
}

void VellamorLog::debug(const QString& message) const { log(SystemLogLevel::Debug, debugTag(), message); }
void VellamorLog::info(const QString& message) const { log(SystemLogLevel::Info, infoTag(), message); }
void VellamorLog::warn(const QString& message) const { log(SystemLogLevel::Default, warnTag(), message); }
void VellamorLog::error(const QString& message) const { log(SystemLogLevel::Error, errorTag(), message); }

void VellamorLog::debug(const QString& pub, const QString& priv) const
{
    log(SystemLogLevel::Debug, debugTag(), pub, priv);
}
void VellamorLog::info(const QString& pub, const QString& priv) const
{
    log(SystemLogLevel::Info, infoTag(), pub, priv);
}
void VellamorLog::warn(const QString& pub, const QString& priv) const
{
    log(SystemLogLevel::Default, warnTag(), pub, priv);
}
void VellamorLog::error(const QString& pub, const QString& priv) const
{
    log(SystemLogLevel::Error, errorTag(), pub, priv);
}

std::optional<QString> VellamorLog::fileURL()
{
    return FileLogSink::shared()->fileURL();
}

void VellamorLog::log(SystemLogLevel level, const QString& tag, const QString& message) const
{
    if (systemLog_ && systemLog_->isEnabled(level))
        systemLog_->write(level, subsystem_, category_, LogPartText::clean(message), std::nullopt);
    // Redacted before the cut, so a secret is never left half in the file.
    if (sink_)
        sink_->write(tag, category_, LogPartText::clean(LogRedactor::redact(message)));
}

void VellamorLog::log(SystemLogLevel level, const QString& tag, const QString& pub, const QString& priv) const
{
    if (systemLog_ && systemLog_->isEnabled(level))
        systemLog_->write(level, subsystem_, category_, LogPartText::clean(pub), LogPartText::clean(priv));
    if (sink_) {
        // Redacting the joined text again catches a secret that spans the
        // joint and anything secret in the public part.
        const QString joined = pub + QLatin1Char(' ') + LogRedactor::redact(priv);
        sink_->write(tag, category_, LogPartText::clean(LogRedactor::redact(joined)));
    }
}

} // namespace vellamor
