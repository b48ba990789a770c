#pragma once

#include "Platform/SystemSettings/CommandLauncher.h"

#include <QSet>

namespace vellamor::test {

// Pretends the programs in `installed` exist; records every launch. A
// program in `failing` is installed but does not start.
class FakeCommandLauncher final : public platform::CommandLauncher {
public:
    bool isInstalled(const QString& program) const override { return installed.contains(program); }

    bool launch(const QString& program, const QStringList& arguments) override
    {
        launches << (QStringList {program} + arguments);
        return !failing.contains(program);
    }

    QSet<QString> installed;
    QSet<QString> failing;
    QList<QStringList> launches;
};

} // namespace vellamor::test
