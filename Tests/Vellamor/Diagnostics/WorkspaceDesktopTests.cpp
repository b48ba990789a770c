#include "DesktopTest.h"

#include "Platform/Workspace/DesktopWorkspace.h"

#include <QDBusConnection>

#include <gmock/gmock.h>

#include <optional>

namespace vellamor::test {
namespace {

using namespace Qt::StringLiterals;

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
    const QString path = u"/home/用户/日志 目录/vellamor.log"_s;
    platform::DesktopWorkspace workspace;
    EXPECT_EQ(askToShow(workspace, path), false) << "no file manager on the bus";

    FileManagerStub fileManager;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"file-manager-stub"_s);
    ASSERT_TRUE(bus.registerObject(u"/org/freedesktop/FileManager1"_s, &fileManager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(u"org.freedesktop.FileManager1"_s));

    EXPECT_EQ(askToShow(workspace, path), true);
    ASSERT_EQ(fileManager.shownUris.size(), 1);
    const QString uri = fileManager.shownUris.first();
    EXPECT_TRUE(uri.startsWith(u"file:///home/"_s)) << uri.toStdString();
    EXPECT_FALSE(uri.contains(u' ')) << uri.toStdString();
    EXPECT_EQ(QUrl(uri).toLocalFile(), path);

    bus.unregisterService(u"org.freedesktop.FileManager1"_s);
    QDBusConnection::disconnectFromBus(u"file-manager-stub"_s);
}

} // namespace
} // namespace vellamor::test

#include "WorkspaceDesktopTests.moc"
