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
    switch (kind_) {
    case Kind::createFolderFailed:
        return QStringLiteral("无法创建文件夹 ") + path_;
    case Kind::readFailed:
        return QStringLiteral("无法读取文件 ") + path_;
    case Kind::writeFailed:
        return QStringLiteral("无法写入文件 ") + path_;
    case Kind::removeFailed:
        return QStringLiteral("无法删除文件 ") + path_;
    }
    return path_;
}

QString FileSystemError::debugDescription() const
{
    static constexpr std::array names {"createFolderFailed", "readFailed", "writeFailed", "removeFailed"};
    return QLatin1StringView(names.at(static_cast<std::size_t>(kind_))) + QLatin1Char('(')
        + debugQuoted(path_ + QStringLiteral(": ") + reason_) + QLatin1Char(')');
}

} // namespace vellamor
