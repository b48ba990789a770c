#pragma once

#include "WaitUntil.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace vellamor::test {

// Base of the suites that need the headless desktop of scripts/desktop-session.
// Fails (rather than skips) outside it, so a misconfigured run cannot pass
// silently. Releases the keys a test may have left down.
class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(qEnvironmentVariableIsSet("VELLAMOR_DESKTOP_SESSION"))
            << "this suite needs the headless desktop: run it through scripts/desktop-session";
        ASSERT_FALSE(qEnvironmentVariable("DISPLAY").isEmpty());
    }

    void TearDown() override
    {
        if (!qEnvironmentVariableIsSet("VELLAMOR_DESKTOP_SESSION"))
            return;
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("keyup"), QStringLiteral("Control_R"), QStringLiteral("Control_L"),
                           QStringLiteral("Shift_L"), QStringLiteral("Alt_L"), QStringLiteral("Super_L")});
    }
};

// Runs a command of the desktop's tools (xdotool, ...) to its end while the
// event loop runs, so the code under test sees the tool's input as it
// happens, with its real timing. Adds a test failure and returns false when
// it fails or hangs.
inline bool runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(static_cast<int>(hangCeiling.count()))) {
        ADD_FAILURE() << "cannot start " << program.toStdString();
        return false;
    }
    const std::string command = program.toStdString() + ' ' + arguments.join(QLatin1Char(' ')).toStdString();
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; })) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << command << " did not finish";
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << command << " failed with " << process.exitCode();
        return false;
    }
    return true;
}

inline bool xdotool(const QStringList& arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments);
}

// Returns once the window manager has handled everything the X server gave it
// before the call (a window's mapping, a request to activate one, and the
// focus it moved on them): it answers a change of the number of desktops in
// turn, which is then put back.
inline bool afterWindowManager()
{
    const auto desktops = [] {
        QProcess query;
        query.start(QStringLiteral("xdotool"), { QStringLiteral("get_num_desktops") });
        waitUntil([&] { return query.state() == QProcess::NotRunning; });
        return query.readAllStandardOutput().trimmed().toInt();
    };
    const int count = desktops();
    const auto setDesktops = [&](int wanted) {
        return xdotool({ QStringLiteral("set_num_desktops"), QString::number(wanted) })
            && waitUntil([&] { return desktops() == wanted; });
    };
    return count > 0 && setDesktops(count + 1) && setDesktops(count);
}

} // namespace vellamor::test
