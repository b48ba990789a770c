#pragma once

#include "Support/Error.h"

#include <QString>

namespace vellamor {

// A folder or file of the account storage could not be created, read or
// written. Carries the path and the system's reason (errno's text).
class FileSystemError final : public Error {
public:
    // Declaration order is the case index shown in errorDescription().
    enum class Kind { createFolderFailed, readFailed, writeFailed };

    // The reason is taken from the current errno.
    static FileSystemError fromErrno(Kind kind, QString path);

    Kind kind() const { return kind_; }
    const QString& path() const { return path_; }
    const QString& reason() const { return reason_; }

    // "未能完成操作。（FileSystemError 错误 N。）".
    QString errorDescription() const override;
    // `writeFailed("/home/u/.local/share/vellamor/keys: Permission denied")`.
    QString debugDescription() const override;

private:
    FileSystemError(Kind kind, QString path, QString reason);

    Kind kind_;
    QString path_;
    QString reason_;
};

} // namespace vellamor
