#pragma once

// What the programs share that drive the assembled application from outside
// inside scripts/desktop-session: a development backend with a signed-in
// account, the app's log, a tone for the virtual microphone and the held key.

#include "DefaultActions.h"
#include "DevServer.h"
#include "BenchmarkSupport.h"
#include "Settings/AppConfig.h"
#include "Settings/SettingsStore.h"
#include "Support/AppPaths.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>

namespace vellamor::benchmark {

// False, with a word to the user, outside scripts/desktop-session.
inline bool inDesktopSession()
{
    if (qEnvironmentVariableIsSet("VELLAMOR_DESKTOP_SESSION"))
        return true;
    std::fprintf(stderr, "run it inside scripts/desktop-session\n");
    return false;
}

// The count the first argument asks for, at least 1; `otherwise` without one.
inline int countArgument(int argc, char** argv, int otherwise)
{
    return argc > 1 ? std::max(1, QString::fromLatin1(argv[1]).toInt()) : otherwise;
}

// The app's log so far.
inline QStringList appLogLines()
{
    QFile file(AppPaths::logFile().value_or(QString()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n');
}

// The wall-clock time, in ms since 1970, of the newest log line holding `message`.
inline std::optional<qint64> loggedAt(const QString& message)
{
    const QStringList lines = appLogLines();
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->contains(message))
            return QDateTime::fromString(it->section(u' ', 0, 0), Qt::ISODateWithMs).toMSecsSinceEpoch();
    }
    return std::nullopt;
}

// Serves `server` to the app started from here, and signs a development
// account in with the hotkey in toggle mode and the guide done.
inline void prepareSignedInApp(devbackend::DevServer& server, const char* signInProgram)
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
    signIn.start(QString::fromLocal8Bit(signInProgram), {});
    waitFor([&] { return signIn.state() == QProcess::NotRunning; }, std::chrono::seconds(30));
}

// A sine into the virtual microphone for `seconds`. A short buffer: the
// virtual sink renders, and so feeds the microphone, in blocks as long as the
// player's latency.
inline void playTone(QProcess& player, const QString& file, int seconds)
{
    QProcess::execute(QStringLiteral("sox"), {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("16000"), file,
                                              QStringLiteral("synth"), QString::number(seconds),
                                              QStringLiteral("sine"), QStringLiteral("440"), QStringLiteral("vol"),
                                              QStringLiteral("0.3")});
    player.start(QStringLiteral("paplay"),
                 {QStringLiteral("--latency-msec=10"), QStringLiteral("-d"), QStringLiteral("vsink"), file});
}

// Right Ctrl down and up through XTest; returns when the release was sent.
inline std::chrono::steady_clock::time_point tapRightCtrl(Display* display)
{
    const KeyCode key = XKeysymToKeycode(display, XK_Control_R);
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XFlush(display);
    QThread::msleep(40);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    XFlush(display);
    return std::chrono::steady_clock::now();
}

} // namespace vellamor::benchmark
