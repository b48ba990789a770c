#pragma once

// What the benchmarks of the assembled app set up before starting it.

#include "BenchmarkSupport.h"
#include "DefaultActions.h"
#include "DevServer.h"
#include "Settings/AppConfig.h"
#include "Settings/SettingsStore.h"

#include <QProcess>

namespace vellamor::benchmark {

// Points the app this process starts at `server` (listening from now on),
// in toggle mode with the guide done, and signs a development account in
// with `signInProgram`. The backend answers from this process's event loop,
// which runs meanwhile.
inline void signInToDevelopmentBackend(devbackend::DevServer& server, const QString& signInProgram)
{
    devbackend::installDefaultActions(server);
    server.listen(0);
    qputenv("VELLAMOR_API_URL", server.baseURL().toString().toUtf8());
    qputenv("VELLAMOR_WS_URL", AppConfig::toWebSocketURL(server.baseURL()).toString().toUtf8());
    SettingsStore settings(UserDefaults::standard(), SettingsStore::standardKey());
    Preferences prefs = settings.current();
    prefs.hotkeyMode = QStringLiteral("toggle");
    settings.update(prefs);
    settings.markOnboardingComplete();
    QProcess signIn;
    signIn.start(signInProgram, {});
    waitFor([&] { return signIn.state() == QProcess::NotRunning; }, std::chrono::seconds(30));
}

} // namespace vellamor::benchmark
