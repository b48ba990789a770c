#include "App/ProcessEntry.h"

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

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vellamor"));
    QApplication::setOrganizationDomain(QStringLiteral("vellamor.com"));
    QApplication::setQuitOnLastWindowClosed(false);
    return QApplication::exec();
}

} // namespace vellamor
