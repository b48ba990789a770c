#include "DesktopTest.h"

#include "Platform/Workspace/DesktopWorkspace.h"

#include <QDBusConnection>

#include <gmock/gmock.h>

#include <optional>

namespace vellamor::test {
namespace {

// Stands in for the desktop's file manager on the session bus.
class FileManagerStub : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shownUris;

public slots:
    void ShowItems(const QStringList& uris, const QString& /*startupId*/) { shownUris += uris; }
};

std::optional<bool> askToShow(platform::DesktopWorkspace& workspace, const QString& path)
{
    std::optional<bool> shown;
    workspace.showInFileManager(path, [&shown](bool answer) { shown = answer; });
    waitUntil([&] { return shown.has_value(); });
    return shown;
}

using WorkspaceDesktopTest = DesktopTest;

TEST_F(WorkspaceDesktopTest, FileManagerGetsTheFileAsAnEncodedUriAndNoFileManagerIsReported)
{
    const QString path = QStringLiteral("/home/用户/日志 目录/vellamor.log");
    platform::DesktopWorkspace workspace;
    EXPECT_EQ(askToShow(workspace, path), false) << "no file manager on the bus";

    FileManagerStub fileManager;
    QDBusConnection bus
        = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("file-manager-stub"));
    ASSERT_TRUE(bus.registerObject(
        QStringLiteral("/org/freedesktop/FileManager1"), &fileManager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    EXPECT_EQ(askToShow(workspace, path), true);
    ASSERT_EQ(fileManager.shownUris.size(), 1);
    const QString uri = fileManager.shownUris.first();
    EXPECT_TRUE(uri.startsWith(QStringLiteral("file:///home/"))) << uri.toStdString();
    EXPECT_FALSE(uri.contains(u' ')) << uri.toStdString();
    EXPECT_EQ(QUrl(uri).toLocalFile(), path);

    bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("file-manager-stub"));
}

} // namespace
} // namespace vellamor::test

#include "WorkspaceDesktopTests.moc"
