#pragma once

#include <QString>
#include <QStringList>

namespace vellamor::platform {

// Starts desktop programs without waiting for them.
class CommandLauncher {
public:
    virtual ~CommandLauncher() = default;

    virtual bool isInstalled(const QString& program) const = 0;
    // False when the program could not be started.
    virtual bool launch(const QString& program, const QStringList& arguments) = 0;
};

} // namespace vellamor::platform
