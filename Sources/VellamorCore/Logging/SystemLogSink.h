#pragma once

#include <QString>

#include <optional>

namespace vellamor {

// The operating system's log, which keeps a public and a private part apart.
// `Default` is the level between info and error that warnings use.
enum class SystemLogLevel { Debug, Info, Default, Error };

// Receives each log call unredacted, with subsystem and category. The
// private part (recognised text, URLs, server messages) is for the sink to
// hide unless private data is explicitly allowed.
class SystemLogSink {
public:
    virtual ~SystemLogSink() = default;
    virtual bool isEnabled(SystemLogLevel level) const = 0;
    virtual void write(SystemLogLevel level, const QString& subsystem, const QString& category,
                       const QString& publicPart, const std::optional<QString>& privatePart) = 0;
};

} // namespace vellamor
