#include "Platform/SystemSettings/ProcessCommandLauncher.h"

#include <QProcess>
#include <QStandardPaths>

namespace vellamor::platform {

bool ProcessCommandLauncher::isInstalled(const QString& program) const
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

bool ProcessCommandLauncher::launch(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

} // namespace vellamor::platform
