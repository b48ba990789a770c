#pragma once

#include "Support/AppPaths.h"

#include <QDateTime>
#include <QLocalSocket>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>

namespace vellamor::test {

// Hands a link to the running instance through its single-instance socket
// every 50 ms, as a second process does, and tells how long the instance
// took to log each one (the longest time its main thread kept them waiting).
class InstanceProbe {
public:
    InstanceProbe()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { send(); });
        timer_.start(50);
    }

    void stop() { timer_.stop(); }

    // The longest delay between a link's sending and its line in `log`, the
    // app's log; a link never logged counts as `ceiling`.
    std::chrono::milliseconds longestDelay(const QStringList& log, std::chrono::milliseconds ceiling) const
    {
        std::chrono::milliseconds longest{0};
        for (std::size_t i = 0; i < sent_.size(); ++i) {
            const QStringList lines = log.filter(QStringLiteral("deeplink received: vellamor://probe/%1 ").arg(i));
            if (lines.isEmpty())
                return ceiling;
            const QDateTime logged = QDateTime::fromString(lines.first().section(u' ', 0, 0), Qt::ISODateWithMs);
            longest = std::max(longest, std::chrono::milliseconds(sent_[i].msecsTo(logged)));
        }
        return longest;
    }

private:
    void send()
    {
        QLocalSocket socket;
        socket.connectToServer(AppPaths::singleInstanceSocket());
        if (!socket.waitForConnected(1000))
            return;
        socket.write(QStringLiteral("vellamor://probe/%1").arg(sent_.size()).toUtf8());
        socket.waitForBytesWritten(1000);
        sent_.push_back(QDateTime::currentDateTimeUtc());
        socket.disconnectFromServer();
    }

    QTimer timer_;
    std::vector<QDateTime> sent_;
};

} // namespace vellamor::test
