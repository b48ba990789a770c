#include "DesktopTest.h"
#include "QtPrinters.h"
#include "WaitUntil.h"

#include "Context/ActiveWindowFrontmostAppProbe.h"
#include "Context/AutoSceneResolver.h"
#include "Platform/ActiveWindow/X11ActiveWindowReader.h"

#include <QDir>
#include <QWidget>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gmock/gmock.h>

#include <memory>

namespace vellamor::test {
namespace {

using namespace std::chrono_literals;

QString arg(const char* text)
{
    return QString::fromUtf8(text);
}

// The standard output of a desktop tool; empty when it fails.
QString outputOf(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " " << arguments.join(QLatin1Char(' ')).toStdString() << " failed";
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

class FrontmostAppDesktopTest : public DesktopTest {
protected:
    void TearDown() override
    {
        for (auto& window : windows_) {
            window->kill();
            window->waitForFinished(2000);
        }
        DesktopTest::TearDown();
    }

    // Opens a small X client window whose instance name is `instance` and
    // returns its window id.
    QString openWindow(const QString& instance)
    {
        auto process = std::make_unique<QProcess>();
        process->start(arg("xmessage"), {arg("-name"), instance, arg("-timeout"), arg("60"), arg("probe target")});
        if (!process->waitForStarted(5000)) {
            ADD_FAILURE() << "xmessage did not start";
            return {};
        }
        windows_.push_back(std::move(process));
        const QString id = outputOf(arg("xdotool"), {arg("search"), arg("--sync"), arg("--classname"), instance});
        return id.section(QLatin1Char('\n'), 0, 0);
    }

    static bool activate(const QString& window)
    {
        return xdotool({arg("windowactivate"), arg("--sync"), window});
    }

    static bool setProperty(const QString& window, const char* name, const char* value)
    {
        return runTool(arg("xprop"), {arg("-id"), window, arg("-f"), arg(name), arg("8u"), arg("-set"), arg(name), arg(value)});
    }

    ActiveWindowFrontmostAppProbe probe_;
    std::vector<std::unique_ptr<QProcess>> windows_;
};

TEST_F(FrontmostAppDesktopTest, NamesTheApplicationOfTheActivatedWindow)
{
    // An installed application that names its windows' class.
    const QString applications = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    ASSERT_TRUE(QDir().mkpath(applications));
    QFile desktopFile(applications + arg("/com.slack.Slack.desktop"));
    ASSERT_TRUE(desktopFile.open(QIODevice::WriteOnly));
    desktopFile.write("[Desktop Entry]\nType=Application\nName=Slack\nExec=slack\nStartupWMClass=Slack\n");
    desktopFile.close();

    const QString plain = openWindow(arg("vellamor-plain"));
    const QString gtk = openWindow(arg("vellamor-gtk"));
    const QString kde = openWindow(arg("vellamor-kde"));
    const QString slack = openWindow(arg("vellamor-slack"));
    ASSERT_FALSE(plain.isEmpty() || gtk.isEmpty() || kde.isEmpty() || slack.isEmpty());
    ASSERT_TRUE(setProperty(gtk, "_GTK_APPLICATION_ID", "org.gnome.Geary"));
    ASSERT_TRUE(setProperty(kde, "_KDE_NET_WM_DESKTOP_FILE", "org.kde.kate"));
    ASSERT_TRUE(xdotool({arg("set_window"), arg("--classname"), arg("slack"), arg("--class"), arg("Slack"), slack}));

    struct Case {
        QString window;
        QString application;
        std::optional<QString> scene;
    };
    const Case cases[] = {
        {plain, arg("xmessage"), std::nullopt},
        {gtk, arg("org.gnome.Geary"), arg("email")},
        {kde, arg("org.kde.kate"), arg("code")},
        {slack, arg("com.slack.Slack"), arg("chat")},
        {plain, arg("xmessage"), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.application.toStdString());
        ASSERT_TRUE(activate(c.window));
        const FrontmostAppInfo info = probe_.current();
        EXPECT_EQ(info.bundleIdentifier, c.application);
        EXPECT_EQ(AutoSceneResolver::resolve(info.bundleIdentifier), c.scene);
    }
}

TEST_F(FrontmostAppDesktopTest, FollowsTheKeyboardFocusWhenTheWindowManagerNamesNoWindow)
{
    const QString window = openWindow(arg("vellamor-focus"));
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(activate(window));
    ASSERT_TRUE(runTool(arg("xprop"), {arg("-root"), arg("-remove"), arg("_NET_ACTIVE_WINDOW")}));

    platform::X11ActiveWindowReader reader;
    const std::optional<platform::WindowIdentity> active = reader.activeWindow();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->wmClassInstance, arg("vellamor-focus"));
    EXPECT_EQ(active->wmClassName, arg("Xmessage"));
}


// Qt 6.4 publishes no application id on its windows, only WM_CLASS.
TEST_F(FrontmostAppDesktopTest, QtWindowIsNamedByTheDesktopFileClaimingItsClass)
{
    QWidget window;
    window.setWindowTitle(arg("qt probe target"));
    window.resize(200, 100);
    window.show();
    ASSERT_TRUE(waitUntil([&] { return window.isVisible(); }));
    const QString id = QString::number(window.winId());
    const QString windowClass = outputOf(arg("xprop"), {arg("-id"), id, arg("WM_CLASS")}).section(QLatin1Char('"'), 3, 3);
    ASSERT_FALSE(windowClass.isEmpty());

    ASSERT_TRUE(activate(id));
    EXPECT_EQ(probe_.current().bundleIdentifier, windowClass.toLower());

    const QString applications = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    ASSERT_TRUE(QDir().mkpath(applications));
    QFile desktopFile(applications + arg("/org.vellamor.ProbeTarget.desktop"));
    ASSERT_TRUE(desktopFile.open(QIODevice::WriteOnly));
    desktopFile.write("[Desktop Entry]\nType=Application\nName=Probe Target\nStartupWMClass=" + windowClass.toUtf8() + "\n");
    desktopFile.close();
    EXPECT_EQ(probe_.current().bundleIdentifier, arg("org.vellamor.ProbeTarget"));
}

} // namespace
} // namespace vellamor::test
