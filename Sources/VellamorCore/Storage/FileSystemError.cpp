#include "Storage/FileSystemError.h"

#include "Support/TextEscaping.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace vellamor {

FileSystemError::FileSystemError(Kind kind, QString path, QString reason)
    : kind_(kind)
    , path_(std::move(path))
    , reason_(std::move(reason))
{
}

FileSystemError FileSystemError::fromErrno(Kind kind, QString path)
{
    return FileSystemError(kind, std::move(path), QString::fromLocal8Bit(std::strerror(errno)));
}

QString FileSystemError::errorDescription() const
{
    return QStringLiteral("未能完成操作。（FileSystemError 错误 ") + QString::number(static_cast<int>(kind_))
        + QStringLiteral("。）");
}

QString FileSystemError::debugDescription() const
{
    static constexpr std::array names {"createFolderFailed", "readFailed", "writeFailed"};
    return QLatin1StringView(names.at(static_cast<std::size_t>(kind_))) + QLatin1Char('(')
        + debugQuoted(path_ + QStringLiteral(": ") + reason_) + QLatin1Char(')');
}

} // namespace vellamor
