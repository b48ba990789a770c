#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>

namespace vellamor::test {

// The private home folder this test process runs in (HOME and every XDG
// variable point below it), so no test touches the developer's own files.
// Removed when the process ends.
inline QString testHome()
{
    static const QTemporaryDir home(QDir::tempPath() + QStringLiteral("/vellamor-test-XXXXXX"));
    return home.path();
}

// Points HOME and the XDG folders at testHome(). Called by the test main
// before anything else runs.
inline void isolateHome()
{
    const auto set = [](const char* name, const QString& sub) {
        const QString path = sub.isEmpty() ? testHome() : testHome() + QLatin1Char('/') + sub;
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
