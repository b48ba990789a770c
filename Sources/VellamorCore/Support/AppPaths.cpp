#include "Support/AppPaths.h"

#include <QDir>

#include <unistd.h>

namespace vellamor {

namespace {

const QString& applicationFolder()
{
    static const QString name = QStringLiteral("vellamor");
    return name;
}

std::optional<QString> absoluteFromEnvironment(const char* variable)
{
    const QString value = qEnvironmentVariable(variable);
    // The XDG rules say a relative or empty value is invalid and must be ignored.
    if (value.isEmpty() || !QDir::isAbsolutePath(value))
        return std::nullopt;
    return QDir::cleanPath(value);
}

std::optional<QString> inApplicationFolder(const std::optional<QString>& base)
{
    if (!base)
        return std::nullopt;
    return QDir::cleanPath(*base + QLatin1Char('/') + applicationFolder());
}

} // namespace

std::optional<QString> AppPaths::homeDirectory()
{
    return absoluteFromEnvironment("HOME");
}

std::optional<QString> AppPaths::baseDirectory(const char* variable, const QString& homeRelativeDefault)
{
    if (auto explicitBase = absoluteFromEnvironment(variable))
        return explicitBase;
    const auto home = homeDirectory();
    if (!home)
        return std::nullopt;
    return QDir::cleanPath(*home + QLatin1Char('/') + homeRelativeDefault);
}

std::optional<QString> AppPaths::logDirectory()
{
    return inApplicationFolder(baseDirectory("XDG_STATE_HOME", QStringLiteral(".local/state")));
}

std::optional<QString> AppPaths::logFile()
{
    const auto directory = logDirectory();
    if (!directory)
        return std::nullopt;
    return *directory + QStringLiteral("/vellamor.log");
}

std::optional<QString> AppPaths::applicationSupportDirectory()
{
    return inApplicationFolder(baseDirectory("XDG_DATA_HOME", QStringLiteral(".local/share")));
}

std::optional<QString> AppPaths::configDirectory()
{
    return inApplicationFolder(baseDirectory("XDG_CONFIG_HOME", QStringLiteral(".config")));
}

QString AppPaths::singleInstanceSocket()
{
    static const QString name = QStringLiteral("com.vellamor.app.sock");
    if (auto runtime = absoluteFromEnvironment("XDG_RUNTIME_DIR"))
        return *runtime + QLatin1Char('/') + name;
    return QDir::tempPath() + QStringLiteral("/com.vellamor.app-%1.sock").arg(::getuid());
}

} // namespace vellamor
