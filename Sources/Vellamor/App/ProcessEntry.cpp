#include "App/ProcessEntry.h"

#include "App/AppContainer.h"
#include "App/AppDelegate.h"
#include "App/QuitWatchdog.h"
#include "App/SingleInstance.h"
#include "I18n/LocaleResolver.h"
#include "I18n/QtOwnTexts.h"
#include "Logging/FileLogSink.h"
#include "Logging/VellamorLog.h"
#include "Platform/LinuxPlatformFactory.h"
#include "Settings/AppConfig.h"
#include "Support/AppPaths.h"
#include "Support/Async/Spawn.h"
#include "Version/ApplicationVersion.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <memory>

#include <cstring>

namespace vellamor {

namespace {

std::unique_ptr<AppContainer> makeDesktopContainer(const AppConfig& config)
{
    AppContainerDependencies dependencies;
    dependencies.platform = platform::LinuxPlatformFactory::make();
    dependencies.defaults = UserDefaults::standard();
    dependencies.auth = AuthSession::forApplication(config, dependencies.platform.keyringItems);
    dependencies.locale = &LocaleResolver::shared();
    dependencies.environment = QProcessEnvironment::systemEnvironment();
    return std::make_unique<AppContainer>(config, std::move(dependencies));
}

// The orderly quit's share of the 3 s in which any quit ends; the rest is
// the margin of the immediate exit.
constexpr std::chrono::milliseconds quitLimit{2500};

// The desktop starts "vellamor %u": the link is the first argument that Qt
// left, taken as the raw bytes it came as.
QByteArray launchLink(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-')
            return QByteArray(argv[i]);
    }
    return {};
}

} // namespace

int runProcess(int argc, char** argv, const std::function<void(AppDelegate&)>& launched)
{
    // Answered before any window-system connection so it works headless.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            QTextStream(stdout) << "vellamor " << ApplicationVersion::compiled().text() << '\n';
            return 0;
        }
    }

    // Nothing else may start before the endpoints are known to be safe.
    const AppConfig config = AppConfig::loadFromProcessEnvironment();
    config.assertSchemesValidForCurrentBuild();
    const VellamorLog bootLog(QStringLiteral("com.vellamor.app"), QStringLiteral("boot"));
    bootLog.info(QStringLiteral("backend endpoints loaded"));
    const VellamorLog taskLog(QStringLiteral("com.vellamor.app"), QStringLiteral("async"));
    setEscapedErrorReporter([taskLog](const QString& what, const QString& description) {
        taskLog.error(QStringLiteral("task failed: ") + what + QStringLiteral(": ") + description);
    });

    // Outlives the application, whose end waits for its threads.
    QuitWatchdog watchdog(quitLimit, [] {
        VellamorLog(QStringLiteral("com.vellamor.app"), QStringLiteral("app"))
            .error(QStringLiteral("quitting took longer than ") + QString::number(quitLimit.count())
                + QStringLiteral(" ms, ending at once"));
        FileLogSink::shared()->flush();
    });
    QApplication app(argc, argv);
    // First of all that runs at the quit: the countdown covers the rest.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&watchdog] { watchdog.quitBegan(); });
    QApplication::setApplicationName(QStringLiteral("vellamor"));
    QApplication::setOrganizationDomain(QStringLiteral("vellamor.com"));
    QApplication::setDesktopFileName(QStringLiteral("com.vellamor.app"));
    if (!QtOwnTexts::install(app))
        bootLog.error(QStringLiteral("Qt's own texts (standard buttons, context menus) stay English: cannot read ")
            + QtOwnTexts::catalogue());
    ApplicationVersion::install();
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());

    const QByteArray link = launchLink(argc, argv);
    auto delegate = std::make_unique<AppDelegate>(
        config, &makeDesktopContainer, std::make_unique<SingleInstance>(AppPaths::singleInstanceSocket()),
        [] { QCoreApplication::quit(); });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, delegate.get(), &AppDelegate::applicationWillTerminate);
    // A session that ends (SIGTERM) or Ctrl+C in a terminal quits like the
    // menu does, so the container stops and the history reaches its file.
    watchdog.catchTerminationSignals(delegate.get(), [] { QCoreApplication::quit(); });
    AppDelegate* launching = delegate.get();
    QTimer::singleShot(0, launching, [launching, link, launched] {
        launching->applicationDidFinishLaunching(link);
        if (launched)
            launched(*launching);
    });
    const int status = QApplication::exec();
    // Tasks cancelled by the stop and by the container's end finish on later
    // turns of the loop, which exec() no longer runs.
    delegate.reset();
    QCoreApplication::sendPostedEvents();
    return status;
}

} // namespace vellamor
