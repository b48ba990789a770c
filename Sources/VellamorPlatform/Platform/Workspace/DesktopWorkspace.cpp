#include "Platform/Workspace/DesktopWorkspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QStringList>

namespace vellamor::platform {

namespace {

// A file manager started by the bus to answer may take a while to come up;
// the call runs in the background, so waiting costs the user nothing.
constexpr int showItemsTimeoutMs = 10000;

} // namespace

DesktopWorkspace::DesktopWorkspace(QObject* parent)
    : QObject(parent)
{
}

void DesktopWorkspace::showInFileManager(const QString& path, std::function<void(bool shown)> done)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        done(false);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, showItemsTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done = std::move(done)](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        done(!QDBusPendingReply<>(*w).isError());
    });
}

bool DesktopWorkspace::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace vellamor::platform
