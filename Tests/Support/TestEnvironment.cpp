#include "TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <memory>

namespace vellamor::test {

namespace {
std::unique_ptr<QTemporaryDir>& homeDir()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}
} // namespace

QString testHome()
{
    return homeDir() ? homeDir()->path() : QString();
}

void isolateHome()
{
    homeDir() = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vellamor-test-XXXXXX"));
    const QString home = homeDir()->path();
    const auto set = [&](const char* name, const QString& sub) {
        const QString path = sub.isEmpty() ? home : home + QLatin1Char('/') + sub;
        QDir().mkpath(path);
        qputenv(name, path.toUtf8());
    };
    set("HOME", QString());
    set("XDG_CONFIG_HOME", QStringLiteral(".config"));
    set("XDG_DATA_HOME", QStringLiteral(".local/share"));
    set("XDG_STATE_HOME", QStringLiteral(".local/state"));
    set("XDG_CACHE_HOME", QStringLiteral(".cache"));
}

} // namespace vellamor::test
