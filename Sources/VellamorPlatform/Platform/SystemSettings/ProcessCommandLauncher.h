#pragma once

#include "Platform/SystemSettings/CommandLauncher.h"

namespace vellamor::platform {

// Looks programs up on PATH and starts them detached from this process.
class ProcessCommandLauncher final : public CommandLauncher {
public:
    bool isInstalled(const QString& program) const override;
    bool launch(const QString& program, const QStringList& arguments) override;
};

} // namespace vellamor::platform
