#include "DesktopTest.h"

#include "Platform/Workspace/DesktopWorkspace.h"

#include <QDBusConnection>
#include <QFile>
#include <QTemporaryDir>

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

// xdg-open's answer decides: a browser that opened the address, one that
// would not start (as Chromium run as root), no xdg-open at all.
TEST_F(WorkspaceDesktopTest, AnAddressIsOpenedOnlyWhenTheOpenerSaysSo)
{
    QTemporaryDir bin;
    const QString opener = bin.filePath(QStringLiteral("xdg-open"));
    const QString asked = bin.filePath(QStringLiteral("asked"));
    const QUrl url(QStringLiteral("https://vellamor.com/help?from=托盘"));
    const struct {
        const char* exitCode;
        bool opened;
    } cases[] = { { "0", true }, { "3", false }, { nullptr, false } };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exitCode ? c.exitCode : "none");
        QFile::remove(opener);
        QFile::remove(asked);
        if (c.exitCode) {
            QFile script(opener);
            ASSERT_TRUE(script.open(QIODevice::WriteOnly));
            script.write("#!/bin/sh\necho \"$1\" > '" + asked.toLocal8Bit() + "'\nexit " + c.exitCode + "\n");
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        platform::DesktopWorkspace workspace;
        std::optional<bool> opened;
        workspace.openUrl(url, [&opened](bool answer) { opened = answer; });
        ASSERT_TRUE(waitUntil([&] { return opened.has_value(); }));
        EXPECT_EQ(*opened, c.opened);
        QFile heard(asked);
        if (c.exitCode && heard.open(QIODevice::ReadOnly))
            EXPECT_EQ(QUrl::fromEncoded(heard.readAll().trimmed()), url);
        else
            EXPECT_FALSE(c.exitCode) << "the opener was not asked";
    }
    qputenv("PATH", path);
}

} // namespace
} // namespace vellamor::test

#include "WorkspaceDesktopTests.moc"
