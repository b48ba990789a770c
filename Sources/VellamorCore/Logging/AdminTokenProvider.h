#pragma once

#include "Logging/SystemLogSink.h"

#include <QString>

#include <optional>

namespace vellamor {

// The operator's administrator token for RemoteLogReader::read, kept in
// "~/.vellamor/admin-token". A file that group or others may access is
// refused. Refusals are reported to the system log only (category
// "admin-token"), never to the log file, so nothing about the token's file
// ends up in a log a user might share.
class AdminTokenProvider {
public:
    AdminTokenProvider() = delete;

    // "<home>/.vellamor/admin-token"; none without a usable HOME.
    static std::optional<QString> defaultPath();

    static std::optional<QString> load();
    // The file's text without surrounding white space and newlines; none when
    // the file is missing, its mode cannot be read or is too open, or it
    // cannot be read as UTF-8. An empty file gives the empty string.
    static std::optional<QString> load(const QString& path);
    static std::optional<QString> load(const QString& path, SystemLogSink& systemLog);
};

} // namespace vellamor
