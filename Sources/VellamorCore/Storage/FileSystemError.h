#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A folder or file could not be created, read, written or removed. Carries
// the path and the system's reason (errno's or Qt's text, English), which
// only the log shows.
class FileSystemError final : public Error {
public:
    enum class Kind { createFolderFailed, readFailed, writeFailed, removeFailed };

    FileSystemError(Kind kind, QString path, QString reason);
    // The reason is taken from the current errno.
    static FileSystemError fromErrno(Kind kind, QString path);

    Kind kind() const { return kind_; }
    const QString& path() const { return path_; }
    const QString& reason() const { return reason_; }

    // What failed and on which path, in the user's language:
    // "无法写入文件 /home/u/.config/autostart/x.desktop".
    QString errorDescription() const override;
    // `writeFailed("/home/u/.local/share/vellamor/keys: Permission denied")`.
    QString debugDescription() const override;

private:
    Kind kind_;
    QString path_;
    QString reason_;
};

} // namespace vellamor
