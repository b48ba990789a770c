#pragma once

#include "App/AppContainer.h"
#include "App/SingleInstance.h"
#include "Logging/VellamorLog.h"
#include "Settings/AppConfig.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace vellamor {

// The application's life: one instance per user, the composition root built
// and started once launching has finished and stopped at termination, and
// the deep links the desktop hands over, validated and logged (an accepted
// sign-in link is not acted upon). Main thread only; every operation checks.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    using ContainerFactory = std::function<std::unique_ptr<AppContainer>(const AppConfig&)>;

    // Logs to "com.vellamor.app"/"app". `terminate` asks the application to end.
    AppDelegate(AppConfig config, ContainerFactory makeContainer, std::unique_ptr<SingleInstance> instance,
                std::function<void()> terminate, QObject* parent = nullptr);
    AppDelegate(AppConfig config, ContainerFactory makeContainer, std::unique_ptr<SingleInstance> instance,
                std::function<void()> terminate, VellamorLog log, QObject* parent = nullptr);
    ~AppDelegate() override;

    // `launchLink`: the deep link this process was started with, possibly
    // empty. Another running instance gets it and this one ends.
    void applicationDidFinishLaunching(const QByteArray& launchLink);
    void applicationWillTerminate();
    // Closing the last window never ends the application.
    static bool applicationShouldTerminateAfterLastWindowClosed() { return false; }

    // A deep link as the desktop passed it: bytes that should be UTF-8.
    void handleGetURL(const QByteArray& link);

    // scheme://host/path [query:N keys, fragment: 0|1]; never a query value
    // or the fragment. "<invalid-url>" when the text is no URL. The path is
    // cut to 128 characters and its control characters are escaped.
    static QString redactDeeplink(const QString& url);

    AppContainer* container() const { return container_.get(); }

private:
    void requireMainThread() const;

    VellamorLog log_;
    AppConfig config_;
    ContainerFactory makeContainer_;
    std::unique_ptr<SingleInstance> instance_;
    std::function<void()> terminate_;
    std::unique_ptr<AppContainer> container_;
};

} // namespace vellamor
