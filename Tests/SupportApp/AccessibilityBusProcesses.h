#pragma once

#include "TextTarget.h"

#include "Platform/Accessibility/DBusDaemonProbe.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <sys/types.h>

namespace vellamor::test {

// The processes behind the accessibility bus of scripts/desktop-session, for
// tests that hold them back as another program may.

// The session bus's word, through gdbus.
inline QString askSessionBus(const char* method, const QString& argument)
{
    return QString::fromUtf8(outputOf(QStringLiteral("gdbus"),
        { QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("--object-path"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("--method"), QStringLiteral("org.freedesktop.DBus.") + QLatin1String(method), argument })
                                 .value_or(QByteArray()));
}

// The process serving the accessibility bus's address and switch; 0 when none does.
inline pid_t busLauncher()
{
    const QString answer = askSessionBus("GetConnectionUnixProcessID", QStringLiteral("org.a11y.Bus"));
    return static_cast<pid_t>(answer.section(u' ', 1).section(u',', 0, 0).toInt());
}

// The launcher's own dbus-daemon, which serves the bus; 0 when none runs.
inline pid_t busDaemon()
{
    const QString launcher = QString::number(busLauncher());
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList({ QStringLiteral("[0-9]*") }, QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // pid (comm) state ppid ...
        const QString line = QString::fromUtf8(stat.readAll());
        const QString name = line.section(u'(', 1).section(u')', 0, 0);
        const QString parent = line.section(u')', -1).section(u' ', 2, 2);
        if (name == QStringLiteral("dbus-daemon") && parent == launcher)
            return static_cast<pid_t>(pid.toInt());
    }
    return 0;
}

// The sockets /proc/net/unix lists under the bus's path: the daemon's
// listening one and one for each connection, accepted or still waiting to
// be; -1 when the launcher names no socket file.
inline qsizetype busSockets()
{
    const QString address = QString::fromUtf8(outputOf(QStringLiteral("gdbus"),
        { QStringLiteral("call"), QStringLiteral("--session"), QStringLiteral("--dest"), QStringLiteral("org.a11y.Bus"),
            QStringLiteral("--object-path"), QStringLiteral("/org/a11y/bus"), QStringLiteral("--method"),
            QStringLiteral("org.a11y.Bus.GetAddress") })
                                                .value_or(QByteArray()))
                                .section(u'\'', 1, 1);
    const auto socket = platform::DBusDaemonProbe::socketOf(address);
    QFile table(QStringLiteral("/proc/net/unix"));
    if (!socket || socket->abstract || !table.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray ending = ' ' + QFile::encodeName(socket->name);
    qsizetype count = 0;
    for (const QByteArray& line : table.readAll().split('\n'))
        count += line.endsWith(ending) ? 1 : 0;
    return count;
}

} // namespace vellamor::test
