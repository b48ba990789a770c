#include "DesktopTest.h"

#include "WaitUntil.h"

#include <QProcess>

namespace vellamor::test {

void DesktopTest::SetUp()
{
    ASSERT_TRUE(qEnvironmentVariableIsSet("VELLAMOR_DESKTOP_SESSION"))
        << "this suite needs the headless desktop: run it through scripts/desktop-session";
    ASSERT_FALSE(qEnvironmentVariable("DISPLAY").isEmpty());
}

void DesktopTest::TearDown()
{
    if (!qEnvironmentVariableIsSet("VELLAMOR_DESKTOP_SESSION"))
        return;
    QProcess::execute(QStringLiteral("xdotool"),
                      {QStringLiteral("keyup"), QStringLiteral("Control_R"), QStringLiteral("Control_L"),
                       QStringLiteral("Shift_L"), QStringLiteral("Alt_L"), QStringLiteral("Super_L")});
}

bool runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start " << program.toStdString();
        return false;
    }
    // The event loop keeps running meanwhile: the code under test sees the
    // tool's input as it happens, with its real timing.
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, std::chrono::seconds(10))) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(QLatin1Char(' ')).toStdString()
                      << " did not finish";
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(QLatin1Char(' ')).toStdString()
                      << " failed with " << process.exitCode();
        return false;
    }
    return true;
}

bool xdotool(const QStringList& arguments)
{
    return runTool(QStringLiteral("xdotool"), arguments);
}

} // namespace vellamor::test
