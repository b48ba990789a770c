#include "Platform/Workspace/DesktopWorkspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QProcess>
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

// xdg-open answers with the opener's exit status, so a browser that refuses
// to start (Chromium run as root) or none at all is an answer too. Where it
// runs the browser itself it answers when the browser ends; killed with the
// workspace at exit, it leaves the browser running, which writes to no pipe
// of ours.
void DesktopWorkspace::openUrl(const QUrl& url, std::function<void(bool opened)> done)
{
    auto* opener = new QProcess(this);
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    const auto answer = [opener, done](bool opened) {
        opener->deleteLater();
        if (done)
            done(opened);
    };
    connect(opener, &QProcess::finished, this,
        [answer](int code, QProcess::ExitStatus status) { answer(status == QProcess::NormalExit && code == 0); });
    connect(opener, &QProcess::errorOccurred, this, [answer](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            answer(false);
    });
    opener->start(QStringLiteral("xdg-open"), { url.toString(QUrl::FullyEncoded) });
}

} // namespace vellamor::platform
