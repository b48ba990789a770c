#include "Logging/AdminTokenProvider.h"

#include "Logging/JournalSystemLog.h"
#include "Support/AppPaths.h"
#include "Support/Utf8Text.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace vellamor {

namespace {

void logError(SystemLogSink& systemLog, const QString& publicPart, const std::optional<QString>& privatePart)
{
    if (!systemLog.isEnabled(SystemLogLevel::Error))
        return;
    systemLog.write(SystemLogLevel::Error, QStringLiteral("com.vellamor.app"), QStringLiteral("admin-token"),
                    publicPart, privatePart);
}

} // namespace

std::optional<QString> AdminTokenProvider::defaultPath()
{
    const auto home = AppPaths::homeDirectory();
    if (!home)
        return std::nullopt;
    return *home + QStringLiteral("/.vellamor/admin-token");
}

std::optional<QString> AdminTokenProvider::load()
{
    const auto path = defaultPath();
    if (!path)
        return std::nullopt;
    return load(*path);
}

std::optional<QString> AdminTokenProvider::load(const QString& path)
{
    return load(path, *JournalSystemLog::shared());
}

std::optional<QString> AdminTokenProvider::load(const QString& path, SystemLogSink& systemLog)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;

    // The mode of the entry itself, not of what a symbolic link points to: a
    // link (mode 0777) is refused rather than trusted for its target.
    struct stat attributes {};
    if (::lstat(QFile::encodeName(path).constData(), &attributes) != 0) {
        logError(systemLog, QStringLiteral("admin token file perm unreadable, path="), path);
        return std::nullopt;
    }
    const unsigned mode = attributes.st_mode & 07777;
    if ((mode & 077) != 0) {
        logError(systemLog,
                 QStringLiteral("admin token file perm too open: ") + QString::number(mode, 8)
                     + QStringLiteral(" expected <= 0600"),
                 std::nullopt);
        return std::nullopt;
    }

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    const std::optional<QString> text = decodeUtf8Strictly(bytes);
    if (!text)
        return std::nullopt;
    return text->trimmed();
}

} // namespace vellamor
