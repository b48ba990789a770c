#pragma once

#include "Logging/LogSink.h"
#include "Logging/SystemLogSink.h"

#include <QString>

#include <memory>
#include <optional>

namespace vellamor {

// The logger every component holds (usually one per component, copied
// freely, usable from any thread). Each call goes to the system log as
// written and, after redaction, to the process's log file. The file gets
// every call, whatever the level.
//
// The two-part calls take a public part (operation, outcome, identifiers)
// and a private part (recognised text, URLs, server messages).
class VellamorLog {
public:
    // Logs to journald and to FileLogSink::shared().
    VellamorLog(QString subsystem, QString category);
    VellamorLog(QString subsystem, QString category, std::shared_ptr<SystemLogSink> systemLog,
                std::shared_ptr<LogSink> sink);

    const QString& subsystem() const { return subsystem_; }
    const QString& category() const { return category_; }

    void debug(const QString& message) const;
    void info(const QString& message) const;
    void warn(const QString& message) const;
    void error(const QString& message) const;

    void debug(const QString& pub, const QString& priv) const;
    void info(const QString& pub, const QString& priv) const;
    void warn(const QString& pub, const QString& priv) const;
    void error(const QString& pub, const QString& priv) const;

    // Where the shared file sink writes; none when there is no home folder.
    static std::optional<QString> fileURL();

private:
    void log(SystemLogLevel level, const QString& tag, const QString& message) const;
    void log(SystemLogLevel level, const QString& tag, const QString& pub, const QString& priv) const;

    QString subsystem_;
    QString category_;
    std::shared_ptr<SystemLogSink> systemLog_;
    std::shared_ptr<LogSink> sink_;
};

} // namespace vellamor
