#pragma once

#include <QString>

namespace vellamor {

// Where the redacted form of each log call goes. `level` is the
// five-character tag written in the file ("DEBUG", "INFO ", "WARN ", "ERROR").
class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(const QString& level, const QString& category, const QString& message) = 0;
};

} // namespace vellamor
