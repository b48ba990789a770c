#include "DesktopTest.h"
#include "QtPrinters.h"

#include "FrontmostApp/ActiveWindowFrontmostAppProbe.h"
#include "Platform/ActiveWindow/X11ActiveWindowReader.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gmock/gmock.h>

#include <memory>
#include <utility>

namespace vellamor::test {
namespace {

QString arg(const char* text)
{
    return QString::fromUtf8(text);
}

class FrontmostAppDesktopTest : public DesktopTest {
protected:
    // Opens a small X client window whose instance name is `instance` and
    // returns its window id.
    QString openWindow(const QString& instance)
    {
        auto& window = windows_.emplace_back(std::make_unique<QProcess>());
        window->start(arg("xmessage"), {arg("-name"), instance, arg("-timeout"), arg("60"), arg("probe target")});
        EXPECT_TRUE(window->waitForStarted(static_cast<int>(hangCeiling.count())));
        QProcess search;
        search.start(arg("xdotool"), {arg("search"), arg("--sync"), arg("--classname"), instance});
        EXPECT_TRUE(search.waitForFinished(static_cast<int>(hangCeiling.count())) && search.exitCode() == 0);
        return QString::fromUtf8(search.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0);
    }

    static bool activate(const QString& window)
    {
        return xdotool({arg("windowactivate"), arg("--sync"), window});
    }

    static bool setProperty(const QString& window, const char* name, const char* value)
    {
        return runTool(arg("xprop"),
                       {arg("-id"), window, arg("-f"), arg(name), arg("8u"), arg("-set"), arg(name), arg(value)});
    }

    // Killed on destruction.
    std::vector<std::unique_ptr<QProcess>> windows_;
    ActiveWindowFrontmostAppProbe probe_{std::make_shared<platform::X11ActiveWindowReader>(),
                                         std::make_shared<DesktopEntryIndex>()};
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

    const std::pair<QString, QString> windowsAndApplications[] = {
        {plain, arg("xmessage")},
        {gtk, arg("org.gnome.Geary")},
        {kde, arg("org.kde.kate")},
        {slack, arg("com.slack.Slack")},
    };
    for (const auto& [window, application] : windowsAndApplications) {
        SCOPED_TRACE(application.toStdString());
        ASSERT_TRUE(activate(window));
        EXPECT_EQ(probe_.current().bundleIdentifier, application);
    }

    // With no active window named by the window manager, the keyboard focus
    // leads to the window.
    ASSERT_TRUE(activate(kde));
    ASSERT_TRUE(runTool(arg("xprop"), {arg("-root"), arg("-remove"), arg("_NET_ACTIVE_WINDOW")}));
    EXPECT_EQ(probe_.current().bundleIdentifier, arg("org.kde.kate"));
}

} // namespace
} // namespace vellamor::test
