#include "App/ProcessEntry.h"

#include "Logging/VellamorLog.h"
#include "Settings/AppConfig.h"
#include "VellamorCore.h"

#include <QApplication>
#include <QTextStream>

#include <cstring>

namespace vellamor {

int runProcess(int argc, char** argv)
{
    // Answered before any window-system connection so it works headless.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            QTextStream(stdout) << "vellamor " << VellamorCore::version() << '\n';
            return 0;
        }
    }

    // Nothing else may start before the endpoints are known to be safe.
    const AppConfig config = AppConfig::loadFromProcessEnvironment();
    config.assertSchemesValidForCurrentBuild();
    const VellamorLog bootLog(QStringLiteral("com.vellamor.app"), QStringLiteral("boot"));
    bootLog.info(QStringLiteral("backend endpoints loaded"));

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vellamor"));
    QApplication::setOrganizationDomain(QStringLiteral("vellamor.com"));
    QApplication::setQuitOnLastWindowClosed(false);
    bootLog.info(QStringLiteral("Vellamor launched core=") + VellamorCore::version());
    return QApplication::exec();
}

} // namespace vellamor
